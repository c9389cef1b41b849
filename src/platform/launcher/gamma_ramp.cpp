#include "platform/launcher/gamma_ramp.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace zolt::platform {
namespace {

constexpr int ramp_entries = 256;

// The CRTC of the primary output, else the first one; 0 without one.
RRCrtc find_primary_crtc(Display* display, XRRScreenResources* resources) {
    const Window root = DefaultRootWindow(display);
    const RROutput primary = XRRGetOutputPrimary(display, root);
    if (primary != 0) {
        if (XRROutputInfo* output = XRRGetOutputInfo(display, resources, primary); output != nullptr) {
            const RRCrtc crtc = output->crtc;
            XRRFreeOutputInfo(output);
            if (crtc != 0) {
                return crtc;
            }
        }
    }
    return resources->ncrtc > 0 ? resources->crtcs[0] : 0;
}

// Xlib's own handler would end the process over a request the server
// refuses (a CRTC without gamma); a refusal only means no ramp.
int ignore_x_error(Display*, XErrorEvent*) {
    return 0;
}

// Runs body with the CRTC's gamma when the display has one.
template <typename Body>
bool with_primary_gamma(Body body) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const auto previous_handler = XSetErrorHandler(ignore_x_error);
    bool done = false;
    int event_base = 0;
    int error_base = 0;
    if (XRRQueryExtension(display, &event_base, &error_base)) {
        if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
            resources != nullptr) {
            const RRCrtc crtc = find_primary_crtc(display, resources);
            const int size = crtc != 0 ? XRRGetCrtcGammaSize(display, crtc) : 0;
            if (size > 1) {
                if (XRRCrtcGamma* gamma = XRRGetCrtcGamma(display, crtc); gamma != nullptr) {
                    done = body(display, crtc, gamma, size);
                    XRRFreeGamma(gamma);
                }
            }
            XRRFreeScreenResources(resources);
        }
    }
    XSync(display, False);
    XSetErrorHandler(previous_handler);
    XCloseDisplay(display);
    return done;
}

}  // namespace

bool read_display_gamma_ramp(uint16_t* red, uint16_t* green, uint16_t* blue) {
    return with_primary_gamma([&](Display*, RRCrtc, XRRCrtcGamma* gamma, int size) {
        for (int index = 0; index < ramp_entries; ++index) {
            const int source = index * (size - 1) / (ramp_entries - 1);
            red[index] = gamma->red[source];
            green[index] = gamma->green[source];
            blue[index] = gamma->blue[source];
        }
        return true;
    });
}

bool write_display_gamma_ramp(const uint16_t* red, const uint16_t* green, const uint16_t* blue) {
    return with_primary_gamma([&](Display* display, RRCrtc crtc, XRRCrtcGamma* gamma, int size) {
        for (int index = 0; index < size; ++index) {
            const int source = index * (ramp_entries - 1) / (size - 1);
            gamma->red[index] = red[source];
            gamma->green[index] = green[source];
            gamma->blue[index] = blue[source];
        }
        XRRSetCrtcGamma(display, crtc, gamma);
        XSync(display, False);
        return true;
    });
}

}  // namespace zolt::platform
