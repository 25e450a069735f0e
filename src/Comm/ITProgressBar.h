#pragma once
// The large animated progress bar of the clone, copy and image progress
// views: a capsule-shaped track with a blue gradient fill whose width follows
// a value from 0.0 to 1.0, faint diagonal stripes sliding endlessly across the
// fill, an inner highlight and a white border.
//
// The bar is built from nine stacked layers (later siblings above earlier
// ones) that it lays out on every resize and value change and draws in order:
//
//   rootLayer
//     clipLayer (clips, capsule)
//       backgroundLayer (track gradient)   borderLayer (border image)
//       innerClipLayer (clips, capsule; its width is the progress)
//         fillLayer (blue gradient)   stripesLayer (the stripes, 4 % opaque)
//         innerShadowLayer (border image with the highlight)   colorTintLayer
//
// Values outside 0.0 to 1.0 are limited to that range (callers pass 100 % as
// 1.0001); NaN is ignored. Screens set a value at once with setFloatValue or
// let it glide there with animator().setFloatValue.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/ui/Animation.h"
#include "kit/ui/Window.h"
#include "kit/ui/Color.h"
#include "kit/ui/Image.h"
#include "kit/ui/Layout.h"
#include "kit/ui/RepeatingAnimation.h"
#include "kit/ui/View.h"

// A basic animation as the bar describes its own.
struct ITBasicAnimation {
    std::string keyPath;
    double fromValue = 0;
    double toValue = 0;
    double duration = 0;
    bool repeatsForever = false;
    bool autoreverses = false;
    kit::TimingFunction timing = kit::TimingFunction::Linear;
};

class ITProgressBar : public kit::View {
public:
    // One drawing layer: a frame in its superlayer's coordinates and what it shows.
    struct Layer {
        kit::Rect frame;
        double cornerRadius = 0;
        bool masksToBounds = false;
        double opacity = 1;
        std::optional<kit::Color> backgroundColor;
        std::shared_ptr<kit::Image> backgroundPattern;   // tiled from the layer's origin
        std::vector<kit::Color> gradientColors;          // first at the bottom edge
        std::shared_ptr<kit::Image> contents;            // stretched over the frame
        std::vector<Layer*> sublayers;
    };

    // Sends setFloatValue so that the value glides (ease in, ease out).
    class Animator {
    public:
        explicit Animator(ITProgressBar* bar) : bar_(bar) {}
        void setFloatValue(double value);
        void setAlphaValue(double a);
    private:
        kit::Weak<ITProgressBar> bar_;
    };

    explicit ITProgressBar(const kit::Rect& frame = kit::Rect());
    ~ITProgressBar() override;

    Animator animator() { return Animator(this); }
    // The animation of a key set through the animator: "floatValue" glides
    // with ease-in-ease-out; other keys have none of their own.
    static std::optional<ITBasicAnimation> defaultAnimationForKey(const std::string& key);

    // ---- properties ----
    double floatValue() const { return floatValue_; }
    void setFloatValue(double value);
    bool animates() const { return animates_; }
    void setAnimates(bool on);
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds);
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double w);
    double shadowWidth() const { return shadowWidth_; }
    void setShadowWidth(double w);
    const kit::Color& borderColor() const { return borderColor_; }
    void setBorderColor(const kit::Color& c) { borderColor_ = c; }
    const std::vector<kit::Color>& backgroundColors() const { return backgroundColors_; }
    void setBackgroundColors(const std::vector<kit::Color>& colors);
    const std::optional<kit::Color>& colorTint() const { return colorTint_; }
    void setColorTint(const std::optional<kit::Color>& c);
    double colorTintOpacity() const { return colorTintOpacity_; }
    void setColorTintOpacity(double o);
    const std::shared_ptr<kit::Image>& stripesImage() const { return stripesImage_; }
    void setStripesImage(std::shared_ptr<kit::Image> image) { stripesImage_ = std::move(image); }
    bool it_isHidden() const { return it_isHidden_; }
    void setIt_isHidden(bool h) { it_isHidden_ = h; }

    // Fades out (hiding once the fade ends) or in. A show that arrives during
    // the hide fade ends visible, at alpha 1, with its stripes.
    void setHidden(bool hidden) override;

    // ---- layers (made on first use) ----
    Layer& rootLayer();
    Layer& clipLayer();
    Layer& backgroundLayer();
    Layer& borderLayer();
    Layer& innerClipLayer();
    Layer& fillLayer();
    Layer& stripesLayer();
    Layer& innerShadowLayer();
    Layer& colorTintLayer();

    // ---- internals ----
    std::shared_ptr<kit::Image> borderImageForSize(kit::Size size, bool withInnerShadow) const;
    static std::shared_ptr<kit::Image> stripesImageWithSize(kit::Size size);
    ITBasicAnimation stripesAnimation() const;
    static ITBasicAnimation fadeAnimationVisible(bool visible);
    void resizeLayers();
    void resizeInnerLayers();
    void reloadColorTint();
    void reloadBackground();
    void viewResized();

    // Whether the stripes animation (key "x") is on, and how far it has moved
    // the stripes layer (0 up to one stripes-image width).
    bool hasStripesAnimation() const;
    // On, but standing still while the bar cannot be seen.
    bool stripesAnimationPaused() const;
    double stripesOffset() const { return stripesOffset_; }

    void drawRect(const kit::Rect& dirty) override;

protected:
    void frameDidChange(const kit::Rect& oldFrame) override;

private:
    void addStripesAnimation();
    void removeStripesAnimation();
    void drawLayer(const Layer& layer, kit::Point origin, double opacity) const;
    Layer& layer(std::unique_ptr<Layer>& slot);

    double floatValue_ = 1.0;
    bool animates_ = false;
    double animationDuration_ = 0.5;
    double borderWidth_ = 1.0;
    double shadowWidth_ = 1.0;
    kit::Color borderColor_ = kit::Color::white();
    std::vector<kit::Color> backgroundColors_;
    std::optional<kit::Color> colorTint_;
    double colorTintOpacity_ = 0.2;
    std::shared_ptr<kit::Image> stripesImage_;
    bool it_isHidden_ = false;
    bool hideFading_ = false;

    std::unique_ptr<Layer> rootLayer_, clipLayer_, backgroundLayer_, borderLayer_, innerClipLayer_, fillLayer_,
        stripesLayer_, innerShadowLayer_, colorTintLayer_;
    std::unique_ptr<kit::RepeatingAnimation> stripes_;
    double stripesOffset_ = 0;
};

KIT_REGISTER_VIEW(ITProgressBar);
