#pragma once
// Images by name from the application bundle: "<name>.svg" or "<name>.png" in
// the bundle's resources (its images/ folder included). Named images are cached
// for the process, like the platform's named-image cache; a name with no file
// gives nullptr, which drawing code treats as nothing to draw.
#include <functional>
#include <memory>
#include <string>

#include "kit/ui/Geometry.h"

class QImage;

namespace kit {

enum class CompositingOperation { Clear, Copy, SourceOver, SourceIn, SourceOut, SourceAtop, DestinationOver };

class Image {
public:
    static std::shared_ptr<Image> named(const std::string& name);
    // An image read from a file path (SVG or a raster format Qt reads).
    static std::shared_ptr<Image> fromFile(const std::string& path);
    // An empty image of the given size to draw into (see lockFocus()).
    static std::shared_ptr<Image> withSize(Size size);
    ~Image();

    const std::string& name() const { return name_; }
    Size size() const { return size_; }
    bool isValid() const;

    // Draws `from` (in the image's own y-up points; a zero rectangle means the
    // whole image) into `rect` of the current context, upright whatever the
    // context's flippedness (the platform's respectFlipped:YES).
    void drawInRect(const Rect& rect, const Rect& from = Rect(),
                    CompositingOperation op = CompositingOperation::SourceOver, double fraction = 1.0) const;

    // Draws into the image: inside the callback the current graphics context
    // paints onto it (y up, origin at the lower left).
    void drawInto(const std::function<void()>& draw);

    // kit internal: the image rendered at the given pixel size.
    QImage rendered(int width, int height) const;
    // kit internal: an image of these pixels, one point each.
    static std::shared_ptr<Image> fromRaster(const QImage& raster);

private:
    Image();
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string name_;
    Size size_;
};

}  // namespace kit
