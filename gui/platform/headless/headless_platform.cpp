// The headless platform: see headless.h. One process-wide state, reset by tests.
#include "platform/headless/headless.h"

#include "cbitmap.h"
#include "cframe.h"
#include "ctextedit.h"
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <strings.h>
#include <utility>

namespace QXAGUI {

class PlatformImage {
public:
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
    // Bitmap resources stand for the editors' palette bitmaps, which have no alpha.
    bool opaque = false;
    headless::DrawLog drawing;
};

class PlatformFont {
public:
    std::string name;
    int32_t size = 0;
    int32_t style = 0;
};

namespace headless {
namespace {

struct ResourceEntry {
    ResourceType type;
    bool byName;
    uint16_t number;
    std::string name;
    int32_t width;
    int32_t height;
};

struct State {
    std::vector<ResourceEntry> resources;
    uint32_t ticks = 1000;
    uint32_t slept = 0;
    uint32_t doubleClick = 500;
    ViewPoint cursor;
    ButtonFlags buttons = 0;
    std::vector<PointerStep> script;
    size_t scriptPosition = 0;
    bool secondClick = false;
    int32_t graphicsStarts = 0;
    int32_t paintsDispatched = 0;
    std::vector<PopUpRecord> popUps;
    std::vector<MenuChoice> menuChoices;
    std::function<void()> whilePopUp;
};

State& state() {
    static State instance;
    return instance;
}

// Counted on any thread: two editors may open and paint on two threads at once.
std::atomic<int32_t> liveImages{0};
std::atomic<int32_t> oleDepth{0};
std::atomic<bool> failNextWindow{false};

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string line(const char* operation, std::initializer_list<float> values) {
    std::string text = operation;
    // Appended piece by piece: GCC 12 at -O3 warns falsely about `" " + std::string`.
    for (float value : values) {
        text += ' ';
        text += number(value);
    }
    return text;
}

std::string colorText(ViewColor color) {
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", color.red, color.green, color.blue,
                  color.alpha);
    return text;
}

// Records what is drawn into one log.
class RecordingSurface final : public DrawSurface {
public:
    explicit RecordingSurface(DrawLog& log) : log_(log) {}

    bool canDraw() const override { return true; }
    void setClip(const ViewRect& r) override {
        log_.lines.push_back(
            line("clip", {float(r.left), float(r.top), float(r.right), float(r.bottom)}));
    }
    void setStrokeColor(ViewColor c) override {
        log_.lines.push_back("strokeColor " + colorText(c));
    }
    void setStrokeWidth(int32_t w) override {
        log_.lines.push_back(line("strokeWidth", {float(w)}));
    }
    void setDotted(bool dotted) override { log_.lines.push_back(dotted ? "dotted" : "solid"); }
    void setFillColor(ViewColor c) override { log_.lines.push_back("fillColor " + colorText(c)); }
    void setTextColor(ViewColor c) override { log_.lines.push_back("textColor " + colorText(c)); }
    void setSmoothing(bool on) override { log_.lines.push_back(on ? "smooth" : "plain"); }
    void strokeLine(float x0, float y0, float x1, float y1) override {
        log_.lines.push_back(line("line", {x0, y0, x1, y1}));
    }
    void fillPolygon(const SurfacePoint* points, int32_t count) override {
        log_.lines.push_back(polygonLine("fillPolygon", points, count));
    }
    void strokePolygon(const SurfacePoint* points, int32_t count, bool closed) override {
        log_.lines.push_back(
            polygonLine(closed ? "strokePolygon" : "strokePolyline", points, count));
    }
    void fillRect(float x, float y, float w, float h) override {
        log_.lines.push_back(line("fillRect", {x, y, w, h}));
    }
    void fillRectPixels(int32_t x, int32_t y, int32_t w, int32_t h) override {
        log_.lines.push_back(line("fillPixels", {float(x), float(y), float(w), float(h)}));
    }
    void strokeRect(float x, float y, float w, float h) override {
        log_.lines.push_back(line("strokeRect", {x, y, w, h}));
    }
    void fillEllipse(float x, float y, float w, float h) override {
        log_.lines.push_back(line("fillEllipse", {x, y, w, h}));
    }
    void strokeEllipse(float x, float y, float w, float h) override {
        log_.lines.push_back(line("strokeEllipse", {x, y, w, h}));
    }
    void fillArc(float x, float y, float w, float h, float start, float sweep) override {
        log_.lines.push_back(line("fillArc", {x, y, w, h, start, sweep}));
    }
    void strokeArc(float x, float y, float w, float h, float start, float sweep) override {
        log_.lines.push_back(line("strokeArc", {x, y, w, h, start, sweep}));
    }
    float textWidth(const char* text, PlatformFont* font) override {
        return font ? static_cast<float>(textWidthFor(text, font->size)) : -1.0f;
    }
    float fontHeight(PlatformFont* font) override {
        return font ? static_cast<float>(font->size + 2) : 0.0f;
    }
    void drawText(const char* text, PlatformFont* font, float x, float y, bool smooth) override {
        log_.lines.push_back("text '" + std::string(text) + "' " + number(x) + " " + number(y) +
                             " " + (font ? font->name + " " + std::to_string(font->size) : "") +
                             (smooth ? " smooth" : " plain"));
    }
    void drawImage(PlatformImage* image, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                   int32_t sy, uint8_t alpha) override {
        log_.lines.push_back("image " + (image ? image->name : std::string("?")) + " " +
                             std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) +
                             " " + std::to_string(h) + " " + std::to_string(sx) + " " +
                             std::to_string(sy) + " " + std::to_string(alpha));
    }

private:
    static std::string polygonLine(const char* operation, const SurfacePoint* points,
                                   int32_t count) {
        std::string text = operation;
        for (int32_t i = 0; i < count; ++i) {
            text += ' ';
            text += number(points[i].x);
            text += ',';
            text += number(points[i].y);
        }
        return text;
    }
    DrawLog& log_;
};

class HeadlessFrameWindow final : public FrameWindow {
public:
    HeadlessFrameWindow(CFrame& frame, void* hostWindow) {
        record_.hostWindow = hostWindow;
        record_.size = frame.bounds();
    }
    void* systemHandle() const override { return const_cast<WindowRecord*>(&record_); }
    void invalidate(const ViewRect& rect) override { record_.invalidations.push_back(rect); }
    void requestLeaveNotification() override { record_.leaveRequested = true; }
    ViewPoint screenOrigin() const override { return record_.screenOrigin; }
    bool resizeWindows(int32_t width, int32_t height) override {
        record_.size.right = record_.size.left + width;
        record_.size.bottom = record_.size.top + height;
        return true;
    }
    bool outerPosition(ViewPoint& position) override {
        position = record_.screenOrigin;
        return true;
    }
    bool parentBounds(ViewRect& bounds) override {
        bounds = record_.size;
        return true;
    }
    void setCursorKind(int32_t kind) override { record_.cursorKind = kind; }
    bool enableDrop(bool enable) override {
        record_.dropEnabled = enable;
        return true;
    }

private:
    WindowRecord record_;
};

// The edit box: its destruction takes the keyboard focus away from it, as a system window's
// does, so the owner hears loseFocus then.
class HeadlessEditBox;
HeadlessEditBox* currentBox = nullptr;
int32_t liveBoxes = 0;

class HeadlessEditBox final : public TextEditBox {
public:
    HeadlessEditBox(CTextEdit& owner, EditBoxRecord record) : owner_(owner), record_(record) {
        ++liveBoxes;
        currentBox = this;
    }
    ~HeadlessEditBox() override {
        --liveBoxes;
        if (currentBox == this) {
            currentBox = nullptr;
            owner_.loseFocus();
        }
    }
    std::string text() const override { return record_.text.substr(0, 255); }
    void* systemHandle() const override { return const_cast<EditBoxRecord*>(&record_); }
    EditBoxRecord& record() { return record_; }
    CTextEdit& owner() { return owner_; }

private:
    CTextEdit& owner_;
    EditBoxRecord record_;
};

const ResourceEntry* findResource(ResourceType type, const ResourceRef& reference) {
    for (const ResourceEntry& entry : state().resources) {
        if (entry.type != type) continue;
        if (reference.kind == ResourceRef::ByNumber && !entry.byName &&
            entry.number == reference.number)
            return &entry;
        if (reference.kind == ResourceRef::ByName && entry.byName && reference.name &&
            strcasecmp(entry.name.c_str(), reference.name) == 0)
            return &entry;
    }
    return nullptr;
}

PlatformImage* makeImage(const std::string& name, int32_t width, int32_t height) {
    auto* image = new PlatformImage;
    image->name = name;
    image->width = width;
    image->height = height;
    ++liveImages;
    return image;
}

} // namespace

std::vector<std::string> DrawLog::matching(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& entry : lines)
        if (entry.compare(0, prefix.size(), prefix) == 0) found.push_back(entry);
    return found;
}

WindowRecord* windowOf(const CFrame& frame) {
    return static_cast<WindowRecord*>(frame.systemWindow());
}

DrawLog* drawingOf(const PlatformImage* image) {
    return image ? const_cast<DrawLog*>(&image->drawing) : nullptr;
}

std::string imageName(const PlatformImage* image) {
    return image ? image->name : std::string();
}

int32_t textWidthFor(const char* text, int32_t fontSize) {
    return text ? static_cast<int32_t>(std::strlen(text)) * fontSize / 2 : 0;
}

void addResource(ResourceType type, uint16_t number, int32_t width, int32_t height) {
    state().resources.push_back({type, false, number, {}, width, height});
}

void addResource(ResourceType type, const char* name, int32_t width, int32_t height) {
    state().resources.push_back({type, true, 0, name, width, height});
}

void clearResources() {
    state().resources.clear();
}

int32_t liveImageCount() {
    return liveImages.load();
}

void setTickCount(uint32_t ticks) {
    state().ticks = ticks;
}
uint32_t tickCountNow() {
    return state().ticks;
}
uint32_t totalSleptMilliseconds() {
    return state().slept;
}
void setDoubleClickMilliseconds(uint32_t milliseconds) {
    state().doubleClick = milliseconds;
}
void setCursorScreenPosition(ViewPoint position) {
    state().cursor = position;
}
void setButtons(ButtonFlags buttons) {
    state().buttons = buttons;
}
void scriptPointer(const std::vector<PointerStep>& steps) {
    state().script = steps;
    state().scriptPosition = 0;
}
void setSecondClick(bool arrives) {
    state().secondClick = arrives;
}
EditBoxRecord* openEditBox() {
    return currentBox ? &currentBox->record() : nullptr;
}

int32_t liveEditBoxes() {
    return liveBoxes;
}

void typeIntoEditBox(const std::string& text) {
    if (currentBox) currentBox->record().text = text;
}

void pressReturnInEditBox() {
    if (!currentBox) return;
    CTextEdit& owner = currentBox->owner();
    owner.noteReturnPressed();
    if (owner.frame()) owner.frame()->focusOn(nullptr);
}

void failNextFrameWindow() {
    failNextWindow.store(true);
}

const std::vector<PopUpRecord>& popUps() {
    return state().popUps;
}

void scriptMenuChoice(COptionMenu* menu, int32_t index) {
    state().menuChoices.push_back({menu, index});
}

void whilePopUpShown(std::function<void()> action) {
    state().whilePopUp = std::move(action);
}

int32_t oleInitializeDepth() {
    return oleDepth.load();
}
int32_t graphicsStartCount() {
    return state().graphicsStarts;
}
int32_t paintMessagesDispatched() {
    return state().paintsDispatched;
}

void reset() {
    const int32_t starts = state().graphicsStarts;
    state() = State();
    failNextWindow.store(false);
    // What is alive stays counted: objects outlive a test's settings.
    state().graphicsStarts = starts;
}

} // namespace headless

namespace platform {

using namespace headless;

std::unique_ptr<FrameWindow> createFrameWindow(CFrame& frame, void* hostWindow) {
    if (failNextWindow.exchange(false)) return nullptr;
    return std::make_unique<HeadlessFrameWindow>(frame, hostWindow);
}

std::unique_ptr<TextEditBox> openTextEditBox(CTextEdit& owner, void* frameWindow,
                                             const ViewRect& rect, const char* text, int32_t align,
                                             const char* fontName, int32_t fontHeight) {
    if (!frameWindow) return nullptr;
    EditBoxRecord record;
    record.rect = {rect.left, rect.top, rect.right + 1, rect.bottom + 1};
    record.text = text ? text : "";
    record.fontName = fontName ? fontName : "";
    record.fontHeight = fontHeight;
    record.align = align;
    return std::make_unique<HeadlessEditBox>(owner, record);
}

MenuChoice popUpMenu(COptionMenu& menu, void* /*frameWindow*/, ViewPoint screenPosition,
                     bool rightButtonSelects) {
    State& s = state();
    s.popUps.push_back({&menu, screenPosition, rightButtonSelects});
    if (s.whilePopUp) {
        const std::function<void()> action = std::move(s.whilePopUp);
        s.whilePopUp = nullptr;
        action();
    }
    if (s.menuChoices.empty()) return {};
    const MenuChoice choice = s.menuChoices.front();
    s.menuChoices.erase(s.menuChoices.begin());
    return choice;
}

std::unique_ptr<DrawSurface> createWindowSurface(void* window, void* /*deviceContext*/) {
    if (!window) return nullptr;
    return std::make_unique<RecordingSurface>(static_cast<WindowRecord*>(window)->drawing);
}

std::unique_ptr<DrawSurface> createImageSurface(PlatformImage* image) {
    if (!image) return nullptr;
    return std::make_unique<RecordingSurface>(image->drawing);
}

ViewPoint windowScreenOrigin(void* window) {
    return window ? static_cast<WindowRecord*>(window)->screenOrigin : ViewPoint();
}

PlatformImage* loadResourceImage(const ResourceRef& reference) {
    if (reference.kind == ResourceRef::None) return nullptr;
    const ResourceEntry* entry = findResource(ResourceType::Data, reference);
    if (!entry) entry = findResource(ResourceType::Bitmap, reference);
    if (!entry) return nullptr;
    const std::string name = entry->byName
                                 ? entry->name
                                 : (entry->type == ResourceType::Data ? "data#" : "bitmap#") +
                                       std::to_string(entry->number);
    PlatformImage* image = makeImage(name, entry->width, entry->height);
    image->opaque = entry->type == ResourceType::Bitmap;
    return image;
}

PlatformImage* createBlankImage(int32_t width, int32_t height) {
    if (width < 0 || height < 0) return nullptr;
    return makeImage("blank" + std::to_string(width) + "x" + std::to_string(height), width, height);
}

void destroyImage(PlatformImage* image) {
    if (!image) return;
    --liveImages;
    delete image;
}

int32_t imageWidth(const PlatformImage* image) {
    return image ? image->width : 0;
}

int32_t imageHeight(const PlatformImage* image) {
    return image ? image->height : 0;
}

bool imageIsOpaque(const PlatformImage* image) {
    return image && image->opaque;
}

PlatformFont* createFont(const char* name, int32_t size, int32_t style) {
    auto* font = new PlatformFont;
    font->name = name ? name : "";
    font->size = size;
    font->style = style;
    return font;
}

void destroyFont(PlatformFont* font) {
    delete font;
}

bool startGraphics() {
    ++state().graphicsStarts;
    return true;
}

void stopGraphics() {
    --state().graphicsStarts;
}

bool initializeOle() {
    ++oleDepth;
    return true;
}

void uninitializeOle() {
    --oleDepth;
}

uint32_t tickCount() {
    return state().ticks;
}

void sleepMilliseconds(uint32_t milliseconds) {
    state().ticks += milliseconds;
    state().slept += milliseconds;
}

uint32_t doubleClickMilliseconds() {
    return state().doubleClick;
}

// Each read of the buttons takes the next scripted step; the cursor is that of the step read
// last (the first step's before any read).
ViewPoint cursorScreenPosition() {
    const State& s = state();
    if (s.script.empty()) return s.cursor;
    return s.script[s.scriptPosition > 0 ? s.scriptPosition - 1 : 0].screenPosition;
}

ButtonFlags asyncButtons() {
    State& s = state();
    if (s.script.empty()) return s.buttons;
    if (s.scriptPosition < s.script.size()) ++s.scriptPosition;
    return s.script[s.scriptPosition - 1].buttons;
}

bool awaitSecondClick(const ViewRect& /*screenBox*/) {
    return state().secondClick;
}

void dispatchOnePaintMessage() {
    ++state().paintsDispatched;
}

int32_t osMajorVersion() {
    return 10;
}

} // namespace platform
} // namespace QXAGUI
