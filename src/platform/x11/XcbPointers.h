#pragma once

#include <cstdlib>
#include <xcb/xcb.h>

// Owners of what xcb hands out with malloc: replies and events.
template <typename T> struct XcbReply {
    T* value = nullptr;
    explicit XcbReply(T* reply) : value(reply) {}
    ~XcbReply() { std::free(value); }
    XcbReply(const XcbReply&) = delete;
    XcbReply& operator=(const XcbReply&) = delete;
    T* operator->() const { return value; }
    explicit operator bool() const { return value != nullptr; }
};

struct XcbEvent {
    xcb_generic_event_t* event = nullptr;
    explicit XcbEvent(xcb_generic_event_t* raw) : event(raw) {}
    ~XcbEvent() { std::free(event); }
    XcbEvent(XcbEvent&& other) noexcept : event(other.event) { other.event = nullptr; }
    XcbEvent& operator=(XcbEvent&& other) noexcept
    {
        std::swap(event, other.event);
        return *this;
    }
    XcbEvent(const XcbEvent&) = delete;
    XcbEvent& operator=(const XcbEvent&) = delete;
    uint8_t type() const { return event->response_type & 0x7f; }
    template <typename T> const T* as() const { return reinterpret_cast<const T*>(event); }
};
