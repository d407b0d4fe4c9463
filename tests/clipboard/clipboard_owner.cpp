// A program that takes the X11 clipboard for the clipboard tests, and answers as told:
//   tonalyx_clipboard_owner DISPLAY silent
//       never answers a request (a hung program);
//   tonalyx_clipboard_owner DISPLAY serve FORMAT FILE [PIECE]
//       offers FILE's bytes as FORMAT, in pieces of PIECE bytes (the long answer) when given;
//   tonalyx_clipboard_owner DISPLAY offer FORMAT
//       says it offers FORMAT, then never answers a request for it;
//   tonalyx_clipboard_owner DISPLAY trickle FORMAT INTERVAL
//       answers every request, the list of formats too, as a long answer whose pieces of
//       four bytes come one every INTERVAL ms and never end.
// Prints "ready" once it owns the clipboard, then serves until it is killed.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void Notify(xcb_connection_t* c, const xcb_selection_request_event_t& request,
            xcb_atom_t property) {
    xcb_selection_notify_event_t told{};
    told.response_type = XCB_SELECTION_NOTIFY;
    told.time = request.time;
    told.requestor = request.requestor;
    told.selection = request.selection;
    told.target = request.target;
    told.property = property;
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&told));
}

// A long answer under way: the next piece goes when the requestor deletes the last one.
struct TLongAnswer {
    xcb_window_t Requestor = XCB_NONE;
    xcb_atom_t Property = XCB_NONE;
    xcb_atom_t Type = XCB_NONE;
    std::uint8_t Format = 8;
    const std::vector<char>* Data = nullptr;
    std::size_t Sent = 0;
    bool Done = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const bool silent = std::strcmp(argv[2], "silent") == 0;
    const bool offerOnly = std::strcmp(argv[2], "offer") == 0;
    const bool trickle = std::strcmp(argv[2], "trickle") == 0;
    if (!silent && argc < (offerOnly ? 4 : 5))
        return 2;
    std::vector<char> data;
    if (!silent && !offerOnly && !trickle) {
        std::ifstream in(argv[4], std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t piece = trickle ? 4 : argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 0;
    const std::chrono::milliseconds interval(trickle ? std::strtoul(argv[4], nullptr, 10) : 0);

    xcb_connection_t* c = xcb_connect(argv[1], nullptr);
    if (xcb_connection_has_error(c))
        return 3;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = Intern(c, "CLIPBOARD");
    const xcb_atom_t targets = Intern(c, "TARGETS");
    const xcb_atom_t incr = Intern(c, "INCR");
    const xcb_atom_t format = silent ? xcb_atom_t(XCB_ATOM_NONE) : Intern(c, argv[3]);
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr),
        &std::free);
    if (!owner || owner->owner != window)
        return 4;
    std::printf("ready\n");
    std::fflush(stdout);

    const std::vector<char> offered = [&] {
        const xcb_atom_t atoms[] = {targets, format};
        const auto* bytes = reinterpret_cast<const char*>(atoms);
        return std::vector<char>(bytes, bytes + sizeof atoms);
    }();
    std::vector<TLongAnswer> answers;
    // Starts a long answer: its size first, its pieces as the requestor deletes each.
    const auto startLong = [&](const xcb_selection_request_event_t& r, xcb_atom_t property,
                               TLongAnswer answer) {
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, r.requestor, XCB_CW_EVENT_MASK, &events);
        const uint32_t size = uint32_t(answer.Data->size());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, incr, 32, 1, &size);
        answer.Requestor = r.requestor;
        answer.Property = property;
        answers.push_back(answer);
        Notify(c, r, property);
    };
    while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
        const int type = e->response_type & 0x7f;
        if (type == XCB_SELECTION_REQUEST && !silent) {
            const auto& r = *reinterpret_cast<xcb_selection_request_event_t*>(e);
            const xcb_atom_t property = r.property == XCB_NONE ? r.target : r.property;
            if (r.target == targets && trickle) {
                startLong(r, property, {.Type = XCB_ATOM_ATOM, .Format = 32, .Data = &offered});
            } else if (r.target == targets) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, XCB_ATOM_ATOM,
                                    32, 2, offered.data());
                Notify(c, r, property);
            } else if (r.target == format && offerOnly) {
                // a hung program: the request is never answered
            } else if (r.target == format && trickle) {
                startLong(r, property, {.Type = format, .Format = 32, .Data = &offered});
            } else if (r.target == format && (piece == 0 || data.size() <= piece)) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, format, 8,
                                    uint32_t(data.size()), data.data());
                Notify(c, r, property);
            } else if (r.target == format) {
                startLong(r, property, {.Type = format, .Format = 8, .Data = &data});
            } else {
                Notify(c, r, XCB_NONE);
            }
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto& p = *reinterpret_cast<xcb_property_notify_event_t*>(e);
            const auto answer =
                std::find_if(answers.begin(), answers.end(), [&](const TLongAnswer& a) {
                    return !a.Done && p.window == a.Requestor && p.atom == a.Property &&
                           p.state == XCB_PROPERTY_DELETE;
                });
            if (answer != answers.end()) {
                std::this_thread::sleep_for(interval);
                const std::vector<char>& bytes = *answer->Data;
                if (trickle && answer->Sent == bytes.size())
                    answer->Sent = 0; // round again: the answer never ends
                const std::size_t n = std::min(piece, bytes.size() - answer->Sent);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, answer->Requestor, answer->Property,
                                    answer->Type, answer->Format,
                                    uint32_t(n / (answer->Format / 8)),
                                    bytes.data() + answer->Sent);
                answer->Sent += n;
                answer->Done = n == 0; // the empty piece ends it
            }
        }
        std::free(e);
        xcb_flush(c);
    }
    xcb_disconnect(c);
    return 0;
}
