// Time from the shortcut to the panel on screen, on the X server Kelvo's
// windows live on ($DISPLAY: Xvfb, or a compositor's Xwayland).
//
//   panel_latency <rounds> <command that presses the shortcut>...
//
// Each round runs the command, which presses the shortcut through the
// desktop's own input and returns once the compositor has the key, then
// waits (at most 5 s) for the window named "Kelvo" to be mapped and then to
// be fully opaque (its fade-in over); the command run again hides it. A press
// that shows nothing within 5 s counts as lost and is made again (at most
// twice a round). Prints the median and the range of both, in ms from the
// exit of the command that showed the panel, how long the command itself
// took (not counted), and the presses lost.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

std::string property(xcb_connection_t *c, xcb_window_t w, xcb_atom_t name, xcb_atom_t type)
{
    xcb_get_property_reply_t *r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, 64), nullptr);
    std::string value;
    if (r)
        value.assign(static_cast<const char *>(xcb_get_property_value(r)), size_t(xcb_get_property_value_length(r)));
    free(r);
    return value;
}

// The window named `title` among `w` and the windows in it (a window
// manager that reparents puts its frame around it), 0 for none.
xcb_window_t findNamed(xcb_connection_t *c, xcb_window_t w, xcb_atom_t name, xcb_atom_t utf8, const std::string &title,
                       int depth = 0)
{
    if (property(c, w, name, utf8) == title)
        return w;
    xcb_query_tree_reply_t *tree = depth < 3 ? xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr) : nullptr;
    xcb_window_t found = XCB_WINDOW_NONE;
    if (tree) {
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
            found = findNamed(c, children[i], name, utf8, title, depth + 1);
    }
    free(tree);
    return found;
}

// Runs the command to its end; its duration in ms.
double run(char **command)
{
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "the command failed\n");
        exit(1);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Waits for an event that `done` accepts, at most 5 s; the time it came.
template <typename Done>
std::optional<Clock::time_point> waitFor(xcb_connection_t *c, Done done)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
            const bool hit = done(e);
            free(e);
            if (hit)
                return Clock::now();
        }
        if (xcb_connection_has_error(c))
            return std::nullopt;
        usleep(200); // the poll interval inside the deadline
    }
    return std::nullopt;
}

void report(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    printf("%s: median %.1f ms (%.1f to %.1f) over %zu\n", what, ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const int rounds = atoi(argv[1]);
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t name = atom(c, "_NET_WM_NAME"), utf8 = atom(c, "UTF8_STRING");
    const xcb_atom_t opacity = atom(c, "_NET_WM_WINDOW_OPACITY");
    xcb_flush(c);

    std::vector<double> mapped, opaque, commands;
    int lost = 0;
    for (int i = 0; i < rounds; ++i) {
        xcb_window_t panel = XCB_WINDOW_NONE, top = XCB_WINDOW_NONE;
        std::optional<Clock::time_point> pressed, shown;
        for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
            lost += attempt > 0;
            commands.push_back(run(argv + 2));
            pressed = Clock::now();
            shown = waitFor(c, [&](xcb_generic_event_t *e) {
                if ((e->response_type & 0x7f) != XCB_MAP_NOTIFY)
                    return false;
                top = reinterpret_cast<xcb_map_notify_event_t *>(e)->window;
                panel = findNamed(c, top, name, utf8, "Kelvo");
                if (!panel)
                    return false;
                const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, panel, XCB_CW_EVENT_MASK, &watch);
                xcb_flush(c);
                return true;
            });
        }
        auto full = [&] {
            const std::string v = property(c, panel, opacity, XCB_ATOM_CARDINAL);
            return v.size() == 4 && v == std::string(4, '\xff');
        };
        const auto faded = shown ? (full() ? shown : waitFor(c, [&](xcb_generic_event_t *e) {
            return (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && full();
        })) : std::nullopt;
        if (!shown || !faded) {
            fprintf(stderr, "round %d: the panel %s\n", i + 1,
                    shown ? "was mapped but did not fade in (it went at once?)" : "did not come");
            return 1;
        }
        mapped.push_back(std::chrono::duration<double, std::milli>(*shown - *pressed).count());
        opaque.push_back(std::chrono::duration<double, std::milli>(*faded - *pressed).count());
        std::optional<Clock::time_point> hidden;
        for (int attempt = 0; attempt < 3 && !hidden; ++attempt) {
            lost += attempt > 0;
            run(argv + 2);
            hidden = waitFor(c, [&](xcb_generic_event_t *e) {
                return (e->response_type & 0x7f) == XCB_UNMAP_NOTIFY
                    && reinterpret_cast<xcb_unmap_notify_event_t *>(e)->window == top;
            });
        }
        if (!hidden) {
            fprintf(stderr, "round %d: the panel did not go\n", i + 1);
            return 1;
        }
    }
    report("mapped", mapped);
    report("fully opaque", opaque);
    report("the key command itself", commands);
    printf("presses lost: %d\n", lost);
    xcb_disconnect(c);
    return 0;
}
