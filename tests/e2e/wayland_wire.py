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


def click(path, x, y, width, height):
    """Moves a pointer of its own to (x, y) of the width x height layout and clicks the left button."""
    with Connection(path) as connection:
        if "zwlr_virtual_pointer_manager_v1" not in connection.globals:
            raise WaylandError("the compositor offers no virtual pointer")
        manager = connection.bind("zwlr_virtual_pointer_manager_v1", 1)
        pointer = connection.new_id()
        connection.send(manager, 0, connection.uint(0) + connection.uint(pointer))  # no seat: the default
        now = int(time.monotonic() * 1000)
        u = connection.uint
        connection.send(pointer, 1, u(now) + u(x) + u(y) + u(width) + u(height))  # motion_absolute
        connection.send(pointer, 4)  # frame
        connection.roundtrip()
        for state in (1, 0):
            connection.send(pointer, 2, u(now + 50) + u(BUTTON_LEFT) + u(state))  # button
            connection.send(pointer, 4)
            connection.roundtrip()
        connection.send(pointer, 8)  # destroy
        connection.roundtrip()
