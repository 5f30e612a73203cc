// phonewatch: waits for something to appear on an X screen and prints how many
// milliseconds it took since a given moment (default: its own start).
//
//   phonewatch window NAME [--since EPOCH_NS] [--timeout S]
//       a top-level window named NAME is viewable and painted (not one flat colour)
//   phonewatch colour RRGGBB SHARE [--below] [--since EPOCH_NS] [--timeout S]
//       at least SHARE (0..1) of the screen's pixels have about that colour
//       (with --below: less than SHARE have it)
//   phonewatch changed [--since EPOCH_NS] [--timeout S]
//       the screen differs from its picture at the start, and then stays as it
//       is for 300 ms (the time printed is to the first change)
// --every MS: the pause between pictures (5 ms).
// --then COMMAND runs the command (a shell's) once the first picture is taken,
// and counts from its end: a key sent by the command is in the server by then.
//
// Prints the milliseconds on standard output and exits 0, or exits 1 on timeout.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

long long nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

struct Area
{
    int x = 0, y = 0, width = 0, height = 0;
};

bool findWindow(Display *display, const std::string &name, Area *area)
{
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable || attributes.width < 50 || attributes.height < 50)
            continue;
        XTextProperty text;
        if (XGetWMName(display, children[i], &text) && text.value) {
            found = name == reinterpret_cast<const char *>(text.value);
            XFree(text.value);
        }
        if (found)
            *area = {attributes.x, attributes.y, attributes.width, attributes.height};
    }
    if (children)
        XFree(children);
    return found;
}

// Calls check with each pixel of the area; returns the share it accepted and
// how many distinct colours it saw.
template <typename Check>
double shareOf(Display *display, const Area &area, Check check, size_t *colours = nullptr)
{
    XImage *image = XGetImage(display, DefaultRootWindow(display), area.x, area.y, area.width,
                              area.height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    long long accepted = 0;
    std::set<unsigned long> seen;
    for (int y = 0; y < area.height; y += 2) {
        for (int x = 0; x < area.width; x += 2) {
            const unsigned long pixel = XGetPixel(image, x, y);
            if (colours && seen.size() < 64)
                seen.insert(pixel);
            if (check((pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff))
                ++accepted;
        }
    }
    XDestroyImage(image);
    if (colours)
        *colours = seen.size();
    return double(accepted) /
           ((area.width / 2 + area.width % 2) * (area.height / 2 + area.height % 2));
}

// The screen's pixels.
std::vector<unsigned long> pictureOf(Display *display, const Area &area)
{
    std::vector<unsigned long> pixels;
    XImage *image = XGetImage(display, DefaultRootWindow(display), area.x, area.y, area.width,
                              area.height, AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.reserve(size_t(area.width) * size_t(area.height));
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x)
            pixels.push_back(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    return pixels;
}

int usage()
{
    std::fputs("usage: phonewatch window NAME | colour RRGGBB SHARE [--below] | changed\n"
               "       [--since EPOCH_NS] [--timeout S] [--every MS] [--then COMMAND]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    long long since = nowNs();
    double timeout = 30;
    bool below = false;
    const char *then = nullptr;
    int every = 5;
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    const int fixed = mode == "colour" ? 4 : mode == "changed" ? 2 : 3;
    if (argc < fixed)
        return usage();
    for (int i = fixed; i < argc; i += 2) {
        if (!std::strcmp(argv[i], "--below")) {
            below = true;
            --i;
        } else if (i + 1 >= argc) {
            return usage();
        } else if (!std::strcmp(argv[i], "--since"))
            since = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--timeout"))
            timeout = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--every"))
            every = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--then"))
            then = argv[i + 1];
        else
            return usage();
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("phonewatch: cannot open the display\n", stderr);
        return 2;
    }
    const Area screen = {0, 0, DisplayWidth(display, DefaultScreen(display)),
                         DisplayHeight(display, DefaultScreen(display))};
    const std::vector<unsigned long> first =
        mode == "changed" ? pictureOf(display, screen) : std::vector<unsigned long>();
    if (then) {
        if (std::system(then) != 0) {
            std::fprintf(stderr, "phonewatch: %s failed\n", then);
            return 2;
        }
        since = nowNs();
    }
    std::vector<unsigned long> last;
    long long changedAt = 0, stillSince = 0;
    const unsigned long wanted = mode == "changed" ? 0 : std::strtoul(argv[2], nullptr, 16);
    const double share = mode == "colour" ? std::atof(argv[3]) : 0;
    const int wr = (wanted >> 16) & 0xff, wg = (wanted >> 8) & 0xff, wb = wanted & 0xff;

    while (nowNs() - since < timeout * 1e9) {
        bool seen = false;
        if (mode == "window") {
            Area area;
            size_t colours = 0;
            seen = findWindow(display, argv[2], &area) &&
                   shareOf(
                       display, area, [](int r, int g, int b) { return r + g + b > 60; },
                       &colours) > 0.1 &&
                   colours >= 3;
        } else if (mode == "colour") {
            const double found = shareOf(display, screen, [&](int r, int g, int b) {
                return std::abs(r - wr) + std::abs(g - wg) + std::abs(b - wb) < 90;
            });
            seen = below ? found < share : found >= share;
        } else if (mode == "changed") {
            std::vector<unsigned long> now = pictureOf(display, screen);
            if (!changedAt && now != first)
                changedAt = stillSince = nowNs();
            else if (changedAt && now != last)
                stillSince = nowNs();
            last = std::move(now);
            if (changedAt && nowNs() - stillSince >= 300000000LL) {
                std::printf("%.0f\n", (changedAt - since) / 1e6);
                return 0;
            }
        } else {
            return usage();
        }
        if (seen) {
            std::printf("%.0f\n", (nowNs() - since) / 1e6);
            return 0;
        }
        usleep(useconds_t(every) * 1000);
    }
    std::fprintf(stderr, "phonewatch: nothing seen within %.0f s\n", timeout);
    return 1;
}
