#pragma once
// The fonts an editor draws with: the text font in its sixteen variants of bold, italic,
// underline and strike-out, the gutter font, and the measures of the text font.
//
// Font names are matched through the system's font matching ("Courier New" finds a metric-compatible
// family where one is installed); when the name matches nothing usable, the system's fixed font
// of the same size stands in.

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <array>
#include <string>

#include "control/control_host.h"
#include "editor/settings.h"

namespace tarnwick::ui {

class FontSet {
public:
    // Builds the set for a font name, a size in points and a character set. With a device the
    // fonts get the pixel size of that size at the device's vertical resolution and are measured
    // on it (printing); without one they are point-sized and measured on the screen.
    void Build(const std::string& name, int pointSize, int charset, QPaintDevice* device = nullptr);
    void BuildGutter(const FontData& font);

    // The variant for a style's font-style bits (fsBold, fsItalic, fsUnderline, fsStrikeOut).
    const QFont& Text(std::uint8_t fontStyle) const { return variants_[fontStyle & 0x0F]; }
    const QFont& Gutter() const { return gutter_; }
    const FontMetrics& Metrics() const { return metrics_; }
    // The advance of one character of the plain variant, in pixels.
    int CharacterWidth(QChar c) const;
    bool Built() const { return built_; }

private:
    std::array<QFont, 16> variants_;
    QFont gutter_;
    FontMetrics metrics_;
    QPaintDevice* device_ = nullptr;  // measured on this device (null: the screen)
    bool built_ = false;
};

// The font a name and size resolve to (the system's fixed font when the name matches nothing).
QFont ResolveFont(const std::string& name, int pointSize, bool wantFixedPitch);

}  // namespace tarnwick::ui
