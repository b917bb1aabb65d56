"""A Wayland client small enough to need no library: it lists a compositor's globals (which also
proves the compositor answers) and clicks through a virtual pointer, for compositors whose headless
seat has no pointer of its own.

Only the wire format is used: each message is the object id, then the size and opcode in one word,
then the arguments, each padded to four bytes.
"""
import select
import socket
import struct
import time

BUTTON_LEFT = 0x110


class WaylandError(Exception):
    pass


class Connection:
    def __init__(self, path, timeout=5.0):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.settimeout(timeout)
        self.socket.connect(path)
        self.timeout = timeout
        self.next_id = 2  # 1 is wl_display
        self.buffer = b""
        self.globals = {}
        self.registry = self.new_id()
        self.send(1, 1, self.uint(self.registry))  # wl_display.get_registry
        self.roundtrip()

    def close(self):
        self.socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    @staticmethod
    def uint(value):
        return struct.pack("<I", value & 0xFFFFFFFF)

    @staticmethod
    def string(value):
        data = value.encode() + b"\0"
        return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)

    def send(self, target, opcode, arguments=b""):
        self.socket.sendall(struct.pack("<II", target, (8 + len(arguments)) << 16 | opcode) + arguments)

    def roundtrip(self):
        """Sends wl_display.sync and handles events until its callback is done."""
        callback = self.new_id()
        self.send(1, 0, self.uint(callback))
        deadline = time.monotonic() + self.timeout
        while True:
            while len(self.buffer) >= 8:
                target, word = struct.unpack_from("<II", self.buffer)
                size, opcode = word >> 16, word & 0xFFFF
                if len(self.buffer) < size:
                    break
                body, self.buffer = self.buffer[8:size], self.buffer[size:]
                if target == callback:
                    return
                self.handle(target, opcode, body)
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self.socket], [], [], remaining)[0]:
                raise WaylandError("the compositor did not answer within %.0f s" % self.timeout)
            data = self.socket.recv(65536)
            if not data:
                raise WaylandError("the compositor closed the connection")
            self.buffer += data

    def handle(self, target, opcode, body):
        if target == 1 and opcode == 0:  # wl_display.error
            _, code, length = struct.unpack_from("<III", body)
            raise WaylandError("protocol error %d: %s" % (code, body[12:12 + length - 1].decode(errors="replace")))
        if target == self.registry and opcode == 0:  # wl_registry.global
            name, length = struct.unpack_from("<II", body)
            interface = body[8:8 + length - 1].decode()
            version = struct.unpack_from("<I", body, 8 + length + (-length % 4))[0]
            self.globals[interface] = (name, version)

    def bind(self, interface, version):
        name, offered = self.globals[interface]
        object_id = self.new_id()
        self.send(self.registry, 0, self.uint(name) + self.string(interface) + self.uint(min(version, offered))
                  + self.uint(object_id))
        return object_id


def globals_of(path, timeout=5.0):
    """The globals a compositor offers ordinary clients, by interface: version."""
    with Connection(path, timeout) as connection:
        return {interface: version for interface, (_, version) in connection.globals.items()}


class VirtualPointer:
    """A pointer of our own on the seat. Clients only take pointer events once they have seen the
    seat gain a pointer, so it lives from before they start until after the last click."""

    def __init__(self, path, width, height):
        self.connection = Connection(path)
        if "zwlr_virtual_pointer_manager_v1" not in self.connection.globals:
            self.connection.close()
            raise WaylandError("the compositor offers no virtual pointer")
        self.width, self.height = width, height
        manager = self.connection.bind("zwlr_virtual_pointer_manager_v1", 1)
        self.pointer = self.connection.new_id()
        # No seat: the compositor's default one.
        self.connection.send(manager, 0, self.connection.uint(0) + self.connection.uint(self.pointer))
        self.connection.roundtrip()

    def close(self):
        self.connection.close()

    def click(self, x, y):
        """Moves to (x, y) of the layout and clicks the left button."""
        u, send = self.connection.uint, self.connection.send
        now = int(time.monotonic() * 1000)
        send(self.pointer, 1, u(now) + u(x) + u(y) + u(self.width) + u(self.height))  # motion_absolute
        send(self.pointer, 4)  # frame
        self.connection.roundtrip()
        for state in (1, 0):
            send(self.pointer, 2, u(now + 50) + u(BUTTON_LEFT) + u(state))  # button
            send(self.pointer, 4)
            self.connection.roundtrip()
