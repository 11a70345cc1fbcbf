// The toolkit's other controls. No editor of these plug-ins builds them; each is kept small.
//
// Sections:
//   IMultiBitmapControl     a strip bitmap: image height and count
//   CAnimKnob               a knob drawn as one image of a strip
//   CVerticalSwitch,        n-position switches over a strip
//   CHorizontalSwitch
//   CRockerSwitch           three-image rocker that springs back to the middle
//   CMovieBitmap            display only: one strip image chosen by the value
//   CMovieButton            two-state button tracked from press to release
//   CKickButton             momentary button
//   CAutoAnimation          steps through a strip
//   CSpecialDigit           up to 7 digits, each an image of a ten-digit strip
//   CVuMeter                level meter drawn through its own offscreen context
//   CTextLabel              a fixed text
//   CSplashScreen,          a click shows a view over the frame until that view is clicked
//   CDefaultSplashScreenView
//
// Strip controls pick image i = round(f x (count - 1)), f the value's fraction of the range
// (bounded to 0..1), and draw it from the source offset (offset.x, offset.y + i x height).
#pragma once

#include "cknob.h"
#include "cparamdisplay.h"

#include <string>

namespace QXAGUI {

class COffscreenContext;

// A control drawn from a strip bitmap: images of one height stacked vertically.
class IMultiBitmapControl {
public:
    virtual ~IMultiBitmapControl() = default;

    virtual void setSubImageHeight(int32_t height) { subImageHeight_ = height; }
    int32_t subImageHeight() const { return subImageHeight_; }
    virtual void setSubImageCount(int32_t count) { subImageCount_ = count; }
    int32_t subImageCount() const { return subImageCount_; }
    // One image per view: the image height is the view's height.
    void takeSubImageHeightFrom(const CView& view) { subImageHeight_ = view.bounds().height(); }

protected:
    IMultiBitmapControl(int32_t count, int32_t height)
        : subImageHeight_(height), subImageCount_(count) {}
    // Draws image `index` of strip into dest.
    void paintSubImage(CDrawContext* context, CBitmap* strip, const ViewRect& dest, int32_t index,
                       ViewPoint offset, bool seeThrough) const;

    int32_t subImageHeight_;
    int32_t subImageCount_;
};

// A knob drawn as one image of a strip, chosen by the value (last image first when inverse);
// it drags, wheels and steps like CKnob.
class CAnimKnob : public CKnob, public IMultiBitmapControl {
public:
    CAnimKnob(const ViewRect& bounds, CControlListener* listener, int32_t tag,
              int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
              const ViewPoint& offset = ViewPoint());
    void paint(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    void setInverseOrder(bool inverse);
    bool inverseOrder() const { return inverse_; }

private:
    bool inverse_ = false;
};

// An n-position switch: the pointer's position along the axis picks position i of n, and the
// value becomes lowest + i / (n - 1) x range. Press and drag; one gesture until release.
class CSwitchBase : public CControl, public IMultiBitmapControl {
public:
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;

    // The position (0 .. count - 1) a pointer at point (parent coordinates) picks.
    int32_t positionAt(const ViewPoint& point) const;

protected:
    CSwitchBase(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                const ViewPoint& offset, bool horizontal);

    ViewPoint offset_;
    bool horizontal_;
    EditGesture gesture_;
};

class CVerticalSwitch : public CSwitchBase {
public:
    CVerticalSwitch(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                    int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                    const ViewPoint& offset = ViewPoint());
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
};

class CHorizontalSwitch : public CSwitchBase {
public:
    CHorizontalSwitch(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                      int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                      const ViewPoint& offset = ViewPoint());
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
};

// A rocker of three images (lowest, middle, highest). Pressing the upper half (right half
// when horizontal) gives highest, the other half lowest; the release and leaving the view
// spring back to the middle. A wheel notch rocks up or down and back inside one gesture.
class CRockerSwitch : public CControl, public IMultiBitmapControl {
public:
    CRockerSwitch(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                  int32_t subImageHeight, CBitmap* strip, const ViewPoint& offset = ViewPoint(),
                  bool horizontal = false);
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

private:
    float valueAt(const ViewPoint& point) const;
    float middle() const { return (lowest_ + highest_) * 0.5f; }

    ViewPoint offset_;
    bool horizontal_;
    EditGesture gesture_;
};

// Display only: one strip image chosen by the value. It takes no pointer input.
class CMovieBitmap : public CControl, public IMultiBitmapControl {
public:
    CMovieBitmap(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                 int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                 const ViewPoint& offset = ViewPoint());
    void paint(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

private:
    ViewPoint offset_;
};

// A two-state button over a two-image strip, tracked from press to release: the press shows
// the other state, leaving the view while pressed shows the state the press found, and the
// state under the pointer at the release stays. The listener hears every change.
class CMovieButton : public CControl, public IMultiBitmapControl {
public:
    CMovieButton(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                 int32_t subImageHeight, CBitmap* strip, const ViewPoint& offset = ViewPoint());
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

private:
    ViewPoint offset_;
    float entryValue_ = 0.0f;
    bool entryWasOn_ = false;
    EditGesture gesture_;
};

// A momentary button: highest while pressed with the pointer over it, lowest otherwise; the
// second image shows while it is highest.
class CKickButton : public CControl, public IMultiBitmapControl {
public:
    CKickButton(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                int32_t subImageHeight, CBitmap* strip, const ViewPoint& offset = ViewPoint());
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

private:
    ViewPoint offset_;
    EditGesture gesture_;
};

// Steps through the images of a strip: a click starts or stops it (the listener hears of it),
// nextImage and previousImage step with wrap-around while it runs. The value is the current
// image's fraction of the strip. It draws nothing while stopped.
class CAutoAnimation : public CControl, public IMultiBitmapControl {
public:
    CAutoAnimation(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                   int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                   const ViewPoint& offset = ViewPoint());
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    void start();
    void stop();
    bool isRunning() const { return running_; }
    void nextImage();
    void previousImage();
    int32_t currentImage() const;

private:
    void showImage(int32_t index);

    ViewPoint offset_;
    bool running_ = false;
};

// Shows the value, rounded to an integer in 0 .. 10^digits - 1, as `digits` images of a strip
// of the ten digits 0..9 (each digitHeight high). Digit i (most significant first) goes to
// (xPositions[i], yPositions[i]) relative to the view's top-left, or side by side without
// positions.
class CSpecialDigit : public CControl {
public:
    static constexpr int32_t kMaxDigits = 7;

    CSpecialDigit(const ViewRect& bounds, CControlListener* listener, int32_t tag, int32_t digits,
                  const int32_t* xPositions, const int32_t* yPositions, int32_t digitWidth,
                  int32_t digitHeight, CBitmap* strip);
    void paint(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    int32_t digitCount() const { return digits_; }
    // The integer the digits show for the current value.
    int32_t shownNumber() const;

private:
    int32_t digits_;
    int32_t xPositions_[kMaxDigits];
    int32_t yPositions_[kMaxDigits];
    int32_t digitWidth_;
    int32_t digitHeight_;
};

// A level meter of `segments` segments: the off bitmap everywhere, the on bitmap over the lit
// part (from the bottom when vertical, from the left otherwise). A falling level drops by at
// most the decrease step per paint, and the meter stays dirty until it has fallen.
class CVuMeter : public CControl {
public:
    CVuMeter(const ViewRect& bounds, CBitmap* onBitmap, CBitmap* offBitmap, int32_t segments,
             bool vertical = true);
    ~CVuMeter() override;
    void paint(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    void setDecreaseStep(float step) { decreaseStep_ = step; }
    float decreaseStep() const { return decreaseStep_; }
    // The level last drawn, as a fraction of the range.
    float shownLevel() const { return shownLevel_; }
    int32_t litSegments() const;

private:
    CBitmap* on_;
    CBitmap* off_;
    int32_t segments_;
    bool vertical_;
    float decreaseStep_ = 0.1f;
    float shownLevel_ = 0.0f;
    COffscreenContext* offscreen_ = nullptr;
};

// A display that shows a fixed text instead of its value.
class CTextLabel : public CParamDisplay {
public:
    CTextLabel(const ViewRect& bounds, const char* text = nullptr, CBitmap* background = nullptr,
               DisplayStyle style = 0);
    void paint(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // A different text marks the label for repaint.
    void setText(const char* text);
    const char* text() const { return text_.c_str(); }

private:
    std::string text_;
};

// A hot spot: a left click sets the value to highest and shows a view over the frame (a
// CDefaultSplashScreenView of the splash bitmap at splashRect, frame coordinates) as the
// frame's blocking view; a click on that view hides it and sets the value back to lowest.
// The listener hears both changes.
class CSplashScreen : public CControl, private CControlListener {
public:
    CSplashScreen(const ViewRect& bounds, CControlListener* listener, int32_t tag, CBitmap* splash,
                  const ViewRect& splashRect, const ViewPoint& splashOffset = ViewPoint());
    ~CSplashScreen() override;
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // Shows view (retained) instead of the default one.
    void setSplashView(CView* view);
    bool isShowing() const { return showing_; }
    void show();
    void hide();

private:
    void controlChanged(CControl* control) override;
    void changeValue(float value);

    CBitmap* splash_;
    ViewRect splashRect_;
    ViewPoint splashOffset_;
    CView* splashView_ = nullptr;
    bool showing_ = false;
};

// The view a splash screen shows by default: its bitmap, and a click anywhere tells the
// listener (the splash screen), which hides it.
class CDefaultSplashScreenView : public CControl {
public:
    CDefaultSplashScreenView(const ViewRect& bounds, CControlListener* listener, CBitmap* bitmap,
                             const ViewPoint& offset = ViewPoint());
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

private:
    ViewPoint offset_;
};

} // namespace QXAGUI
