#include "x11_selection.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

namespace tonalyx {
namespace {

using namespace std::chrono;

struct TFree {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using TXPtr = std::unique_ptr<T, TFree>;
using TEvent = TXPtr<xcb_generic_event_t>;

struct TDisconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

constexpr const char* UnreachableReason = "The clipboard cannot be reached";
constexpr const char* TooLargeReason = "The clipboard's data is too large";
constexpr std::size_t MaxFormats = 1000; // beyond any real owner's list

struct TProperty {
    xcb_atom_t Type = XCB_ATOM_NONE;
    int Format = 8;
    std::vector<char> Bytes;
};

// One connection with a window of its own that receives the owner's answers.
class TSelectionReader {
  public:
    TSelectionReader(const TSelectionRequest& request, std::stop_token stop)
        : FRequest(request), FStop(std::move(stop)),
          FDeadline(steady_clock::now() + request.Whole) {}

    TOutcome<void> Open() {
        {
            // Connecting reads the X authority file's name through a buffer libXau keeps
            // unguarded: two readers connecting at once would race on it.
            static std::mutex connecting;
            const std::lock_guard lock(connecting);
            FConn.reset(xcb_connect(FRequest.Display.empty() ? nullptr : FRequest.Display.c_str(),
                                    nullptr));
        }
        if (xcb_connection_has_error(FConn.get()))
            return TOutcome<void>::Failure(UnreachableReason, "cannot connect to display \"" +
                                                                  FRequest.Display + "\"");
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConn.get())).data;
        if (!screen)
            return TOutcome<void>::Failure(UnreachableReason, "the display has no screen");
        FWindow = xcb_generate_id(FConn.get());
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE; // the pieces of a long answer
        xcb_create_window(FConn.get(), XCB_COPY_FROM_PARENT, FWindow, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &events);
        FClipboard = Intern("CLIPBOARD");
        FTargets = Intern("TARGETS");
        FIncr = Intern("INCR");
        FProperty = Intern("TONALYX_SELECTION");
        if (!FClipboard || !FTargets || !FIncr || !FProperty)
            return TOutcome<void>::Failure(UnreachableReason, "the display names no atoms");
        return TOutcome<void>::Success();
    }

    TOutcome<std::vector<std::string>> Formats() {
        TXPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            FConn.get(), xcb_get_selection_owner(FConn.get(), FClipboard), nullptr));
        if (!owner)
            return Lost();
        if (owner->owner == XCB_NONE)
            return std::vector<std::string>{};
        TOutcome<TProperty> list = Convert(FTargets);
        if (!list)
            return list.Error();
        std::vector<std::string> names;
        if (list->Format != 32 || list->Type == XCB_ATOM_NONE) // refused: offers nothing known
            return names;
        const std::size_t count = std::min(list->Bytes.size() / 4, MaxFormats);
        std::vector<xcb_get_atom_name_cookie_t> asked;
        for (std::size_t i = 0; i < count; ++i) {
            xcb_atom_t atom;
            std::memcpy(&atom, list->Bytes.data() + 4 * i, 4);
            asked.push_back(xcb_get_atom_name(FConn.get(), atom));
        }
        for (const auto& cookie : asked) {
            TXPtr<xcb_get_atom_name_reply_t> name(
                xcb_get_atom_name_reply(FConn.get(), cookie, nullptr));
            if (name) // an atom the server does not know is skipped
                names.emplace_back(xcb_get_atom_name_name(name.get()),
                                   std::size_t(xcb_get_atom_name_name_length(name.get())));
        }
        return names;
    }

    TOutcome<TSelectionData> Fetch(const std::string& format) {
        const xcb_atom_t target = Intern(format.c_str());
        if (!target)
            return Lost();
        TOutcome<TProperty> data = Convert(target);
        if (!data)
            return data.Error();
        if (data->Type == XCB_ATOM_NONE)
            return TOutcome<TSelectionData>::Failure(NoPictureReason,
                                                     "the owner refused " + format);
        return TSelectionData{format, std::move(data->Bytes)};
    }

  private:
    xcb_atom_t Intern(const char* name) {
        TXPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            FConn.get(), xcb_intern_atom(FConn.get(), 0, uint16_t(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    static TFailure Lost() { return {UnreachableReason, "the display closed the connection"}; }

    // The next event that wanted accepts, the others dropped; fails once the owner has been
    // silent for the time-out, at the whole exchange's deadline, or when the token is stopped
    // (looked at every 50 ms).
    TOutcome<TEvent> WaitFor(const std::function<bool(const xcb_generic_event_t&)>& wanted) {
        const auto deadline = std::min(steady_clock::now() + FRequest.Timeout, FDeadline);
        for (;;) {
            while (TEvent e{xcb_poll_for_event(FConn.get())})
                if (wanted(*e))
                    return e;
            if (xcb_connection_has_error(FConn.get()))
                return Lost();
            if (FStop.stop_requested())
                return TOutcome<TEvent>::Failure("Cancelled");
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0 && deadline == FDeadline)
                return TOutcome<TEvent>::Failure(
                    OwnerSlowReason,
                    "not all in " + std::to_string(FRequest.Whole.count()) + " ms");
            if (left <= 0)
                return TOutcome<TEvent>::Failure(
                    OwnerSilentReason,
                    "no answer in " + std::to_string(FRequest.Timeout.count()) + " ms");
            pollfd p{xcb_get_file_descriptor(FConn.get()), POLLIN, 0};
            poll(&p, 1, int(std::min<long long>(left, 50)));
        }
    }

    // Reads our property whole and deletes it (which, in a long answer, asks for the next
    // piece), in one round trip; one of more than room bytes is refused.
    TOutcome<TProperty> Take(std::size_t room) {
        TXPtr<xcb_get_property_reply_t> all(xcb_get_property_reply(
            FConn.get(),
            xcb_get_property(FConn.get(), 1, FWindow, FProperty, XCB_GET_PROPERTY_TYPE_ANY, 0,
                             uint32_t(room / 4 + 1)),
            nullptr));
        if (!all)
            return Lost();
        const auto length = std::size_t(xcb_get_property_value_length(all.get()));
        if (all->bytes_after > 0 || length > room) { // left in place: deleted here
            xcb_delete_property(FConn.get(), FWindow, FProperty);
            xcb_flush(FConn.get());
            return TOutcome<TProperty>::Failure(
                TooLargeReason, "over " + std::to_string(FRequest.MaxBytes) + " bytes");
        }
        xcb_flush(FConn.get());
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(all.get()));
        return TProperty{all->type, all->format, std::vector<char>(bytes, bytes + length)};
    }

    // Asks the owner for the clipboard as target; a refusal comes as a property of no type.
    TOutcome<TProperty> Convert(xcb_atom_t target) {
        xcb_convert_selection(FConn.get(), FWindow, FClipboard, target, FProperty,
                              XCB_CURRENT_TIME);
        xcb_flush(FConn.get());
        TOutcome<TEvent> told = WaitFor([&](const xcb_generic_event_t& e) {
            if ((e.response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto& n = reinterpret_cast<const xcb_selection_notify_event_t&>(e);
            return n.requestor == FWindow && n.selection == FClipboard && n.target == target;
        });
        if (!told)
            return told.Error();
        if (reinterpret_cast<const xcb_selection_notify_event_t&>(**told).property == XCB_ATOM_NONE)
            return TProperty{};
        TOutcome<TProperty> first = Take(FRequest.MaxBytes);
        if (!first || first->Type != FIncr)
            return first;
        // A long answer: the owner writes it piece by piece, each after the last was
        // deleted; an empty piece ends it.
        TProperty whole;
        for (;;) {
            TOutcome<TEvent> piece = WaitFor([&](const xcb_generic_event_t& e) {
                if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto& n = reinterpret_cast<const xcb_property_notify_event_t&>(e);
                return n.window == FWindow && n.atom == FProperty &&
                       n.state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!piece)
                return piece.Error();
            TOutcome<TProperty> part = Take(FRequest.MaxBytes - whole.Bytes.size());
            if (!part)
                return part;
            whole.Type = part->Type;
            whole.Format = part->Format;
            if (part->Bytes.empty())
                return whole;
            whole.Bytes.insert(whole.Bytes.end(), part->Bytes.begin(), part->Bytes.end());
        }
    }

    const TSelectionRequest& FRequest;
    std::stop_token FStop;
    std::unique_ptr<xcb_connection_t, TDisconnect> FConn;
    xcb_window_t FWindow = 0;
    xcb_atom_t FClipboard = 0, FTargets = 0, FIncr = 0, FProperty = 0;
    const steady_clock::time_point FDeadline; // of the whole exchange with the owner
};

} // namespace

TOutcome<std::vector<std::string>> AskClipboardFormats(const TSelectionRequest& request,
                                                       std::stop_token stop) {
    TSelectionReader reader(request, std::move(stop));
    if (TOutcome<void> opened = reader.Open(); !opened)
        return opened.Error();
    return reader.Formats();
}

TOutcome<TSelectionData> FetchClipboard(const TSelectionRequest& request,
                                        const std::vector<std::string>& wanted,
                                        std::stop_token stop) {
    TSelectionReader reader(request, std::move(stop));
    if (TOutcome<void> opened = reader.Open(); !opened)
        return opened.Error();
    TOutcome<std::vector<std::string>> offered = reader.Formats();
    if (!offered)
        return offered.Error();
    for (const std::string& format : wanted)
        if (std::find(offered->begin(), offered->end(), format) != offered->end())
            return reader.Fetch(format);
    return TOutcome<TSelectionData>::Failure(NoPictureReason);
}

} // namespace tonalyx
