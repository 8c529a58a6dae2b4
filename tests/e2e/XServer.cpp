#include "XServer.h"

#include <X11/Xlib.h>

#include "Process.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <limits>
#include <thread>
#include <unistd.h>

namespace
{
bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
// The pixels of `area` of the drawable.
juce::Image captureOf(Display* display, Window drawable, juce::Rectangle<int> area)
{
    juce::Image result(juce::Image::RGB, std::max(area.getWidth(), 1), std::max(area.getHeight(), 1), true);
    XImage* image = XGetImage(display, drawable, area.getX(), area.getY(), (unsigned)area.getWidth(),
                              (unsigned)area.getHeight(), AllPlanes, ZPixmap);
    if (image == nullptr)
        return result;
    for (int y = 0; y < area.getHeight(); ++y)
        for (int x = 0; x < area.getWidth(); ++x)
        {
            const auto value = XGetPixel(image, x, y);
            result.setPixelAt(x, y,
                              juce::Colour((juce::uint8)(value >> 16), (juce::uint8)(value >> 8), (juce::uint8)value));
        }
    XDestroyImage(image);
    return result;
}
} // namespace

XServer::XServer()
{
    // Xvfb picks a free display number and writes it to the pipe.
    int fds[2];
    if (pipe(fds) != 0)
        return;
    m_server = Process::spawn(
        { "Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp" },
        Process::environmentWithout({ "LD_PRELOAD", "DISPLAY" }), { fds[1] });
    close(fds[1]);
    char number[16] = {};
    const auto got = read(fds[0], number, sizeof number - 1);
    close(fds[0]);
    if (m_server < 0 || got <= 0)
        return;
    m_name = ":" + std::to_string(std::strtoul(number, nullptr, 10));
    m_display = XOpenDisplay(m_name.c_str());
    if (m_display == nullptr)
        return;
    // A window may go while it is looked at (the program quits); Xlib's own handler would end this
    // process for that. The query then simply answers nothing.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    // A window manager would have made these; JUCE only looks them up.
    for (const char* atom : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                              "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN",
                              "_NET_WM_WINDOW_TYPE_NORMAL", "_MOTIF_WM_HINTS" })
        XInternAtom(m_display, atom, False);
    XSync(m_display, False);
}

XServer::~XServer()
{
    if (m_display != nullptr)
        XCloseDisplay(m_display);
    if (m_server > 0)
    {
        kill(m_server, SIGTERM);
        Process::waitForExit(m_server, 5000);
    }
}

// JUCE writes the title as UTF-8 into WM_NAME.
std::string XServer::title(Window window)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(m_display, window, XA_WM_NAME, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr)
        result.assign(reinterpret_cast<char*>(data), count);
    if (data != nullptr)
        XFree(data);
    return result;
}

std::vector<XServer::Window> XServer::windowsNamed(const std::string& wanted)
{
    std::vector<Window> found;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count) == 0)
        return found;
    for (unsigned int i = 0; i < count; ++i)
    {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_display, children[i], &attributes) && attributes.map_state == IsViewable &&
            title(children[i]) == wanted)
            found.push_back(children[i]);
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

Window XServer::waitForWindow(const std::string& wanted, int timeoutMs)
{
    Window window = 0;
    waitFor(
        [&]
        {
            const auto windows = windowsNamed(wanted);
            window = windows.size() == 1 ? windows[0] : 0;
            return window != 0;
        },
        timeoutMs);
    return window;
}

juce::Rectangle<int> XServer::bounds(Window window)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_display, window, &attributes);
    return { attributes.x, attributes.y, attributes.width, attributes.height };
}

juce::Image XServer::capture(Window window)
{
    const auto area = bounds(window);
    return captureOf(m_display, window, area.withZeroOrigin());
}

juce::Image XServer::captureScreen(juce::Rectangle<int> area)
{
    return captureOf(m_display, DefaultRootWindow(m_display),
                     area.getIntersection({ 0, 0, DisplayWidth(m_display, 0), DisplayHeight(m_display, 0) }));
}

juce::Colour XServer::pixel(Window window, int x, int y)
{
    XImage* image = XGetImage(m_display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return {};
    const auto value = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return juce::Colour((juce::uint8)(value >> 16), (juce::uint8)(value >> 8), (juce::uint8)value);
}

bool XServer::waitForPixel(Window window, int x, int y, juce::Colour colour, bool equal, int timeoutMs)
{
    return waitFor([&] { return (pixel(window, x, y) == colour) == equal; }, timeoutMs);
}

Window XServer::focusedWindow()
{
    Window window = 0;
    int revert = 0;
    XGetInputFocus(m_display, &window, &revert);
    return window;
}

void XServer::focusRoot()
{
    XSetInputFocus(m_display, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
}

long XServer::windowFunctions(Window window)
{
    const Atom motif = XInternAtom(m_display, "_MOTIF_WM_HINTS", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long functions = -1;
    if (XGetWindowProperty(m_display, window, motif, 0, 5, False, motif, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && count >= 2)
        functions = reinterpret_cast<long*>(data)[1];
    if (data != nullptr)
        XFree(data);
    return functions;
}

void XServer::key(const char* keysym)
{
    auto environment = Process::environmentWithout({ "LD_PRELOAD", "DISPLAY" });
    environment.push_back("DISPLAY=" + m_name);
    const auto pid = Process::spawn({ "xdotool", "key", "--delay", "60", keysym }, environment);
    Process::waitForExit(pid, 10000);
}

void XServer::click(Window window, int x, int y)
{
    auto environment = Process::environmentWithout({ "LD_PRELOAD", "DISPLAY" });
    environment.push_back("DISPLAY=" + m_name);
    Process::waitForExit(Process::spawn({ "xdotool", "mousemove", "--window", std::to_string(window), std::to_string(x),
                                          std::to_string(y), "click", "1" },
                                        environment),
                         10000);
}

bool XServer::resize(Window window, int width, int height)
{
    // Only while this request is served does the test stand in for a window manager: the root
    // window's configure and map requests come here instead of being carried out.
    const Window root = DefaultRootWindow(m_display);
    XSelectInput(m_display, root, SubstructureRedirectMask);
    XSync(m_display, False);
    auto environment = Process::environmentWithout({ "LD_PRELOAD", "DISPLAY" });
    environment.push_back("DISPLAY=" + m_name);
    Process::waitForExit(Process::spawn({ "xdotool", "windowsize", std::to_string(window), std::to_string(width),
                                          std::to_string(height) },
                                        environment),
                         10000);
    const bool served = waitFor(
        [&]
        {
            for (XEvent event; XPending(m_display) > 0;)
            {
                XNextEvent(m_display, &event);
                if (event.type == MapRequest)
                    XMapWindow(m_display, event.xmaprequest.window);
                if (event.type != ConfigureRequest)
                    continue;
                auto& request = event.xconfigurerequest;
                XSizeHints hints{};
                long supplied = 0;
                XGetWMNormalHints(m_display, request.window, &hints, &supplied);
                const bool hasLeast = (hints.flags & PMinSize) != 0, hasMost = (hints.flags & PMaxSize) != 0;
                XWindowChanges changes{};
                changes.x = request.x, changes.y = request.y;
                changes.width = std::clamp(request.width, hasLeast ? hints.min_width : 1,
                                           hasMost ? hints.max_width : std::numeric_limits<int>::max());
                changes.height = std::clamp(request.height, hasLeast ? hints.min_height : 1,
                                            hasMost ? hints.max_height : std::numeric_limits<int>::max());
                changes.border_width = request.border_width, changes.sibling = request.above;
                changes.stack_mode = request.detail;
                XConfigureWindow(m_display, request.window, (unsigned)request.value_mask, &changes);
                // The program's own requests are served too, as they come.
                if (request.window == window && request.width == width && request.height == height)
                    return true;
            }
            return false;
        },
        5000);
    XSelectInput(m_display, root, NoEventMask);
    XSync(m_display, False);
    return served;
}

void XServer::requestClose(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XSync(m_display, False);
}
