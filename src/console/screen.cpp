#include "console/screen.h"

#include <optional>
#include <string>

#include "console/row_fitter.h"

namespace talvoren {

namespace {

struct ScreenState {
    unsigned owner = 0;  // platformChanges() when the width was read
    std::optional<RowFitter> fitter;
    std::string fitted;  // reused buffer for the fitted bytes
};

ScreenState& state() {
    static ScreenState screen;
    return screen;
}

void readWidth(ScreenState& screen, Platform& out) {
    screen.owner = platformChanges() + 1;
    const std::optional<int> width = out.consoleWidth();
    if (width && *width > 0) {
        screen.fitter.emplace(*width, out.consoleWrapsAtLastColumn());
    } else {
        screen.fitter.reset();
    }
}

// The fitter for the current back end, or nullptr when text passes as it is.
RowFitter* fitterFor(Platform& out) {
    ScreenState& screen = state();
    if (screen.owner != platformChanges() + 1) readWidth(screen, out);  // a new back end (a test's)
    return screen.fitter ? &*screen.fitter : nullptr;
}

// Lets `fit` append the fitted bytes to the reused buffer and sends them.
template <typename Fit>
void sendFitted(Platform& out, Fit fit) {
    std::string& fitted = state().fitted;
    fitted.clear();
    fit(fitted);
    if (!fitted.empty()) out.write(fitted);
}

// Sends what the fitter holds back, before anything that must follow it.
void release(Platform& out) {
    if (RowFitter* fitter = fitterFor(out)) {
        sendFitted(out, [&](std::string& fitted) { fitter->release(fitted); });
    }
}

}  // namespace

void screenWrite(std::string_view text) {
    Platform& out = platform();
    RowFitter* fitter = fitterFor(out);
    if (fitter == nullptr) {
        out.write(text);
        return;
    }
    sendFitted(out, [&](std::string& fitted) { fitter->put(text, fitted); });
}

void screenWriteAsIs(std::string_view text) {
    Platform& out = platform();
    RowFitter* fitter = fitterFor(out);
    if (fitter != nullptr) {
        sendFitted(out, [&](std::string& fitted) { fitter->passedThrough(text, fitted); });
    }
    out.write(text);
}

void screenRule(std::string_view rule) {
    Platform& out = platform();
    RowFitter* fitter = fitterFor(out);
    if (fitter == nullptr) {
        out.write(rule);
        return;
    }
    sendFitted(out, [&](std::string& fitted) { fitter->rule(static_cast<int>(rule.size()), fitted); });
}

void screenFlush() {
    Platform& out = platform();
    release(out);
    out.flush();
}

void screenClear() {
    Platform& out = platform();
    release(out);
    out.clearScreen();
    readWidth(state(), out);
}

void screenHome() {
    Platform& out = platform();
    release(out);
    out.homeCursor();
    if (RowFitter* fitter = fitterFor(out)) fitter->cursorAtRowStart();
}

void screenColour(TextColour colour) {
    Platform& out = platform();
    release(out);
    out.setTextColour(colour);
}

void screenLineEndEchoed() {
    Platform& out = platform();
    release(out);
    if (RowFitter* fitter = fitterFor(out)) fitter->cursorAtRowStart();
}

}  // namespace talvoren
