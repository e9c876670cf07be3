#pragma once
// The app's thirteen colours, each with a value for the dark and one for the
// light colour scheme. Header-only on purpose: the permission wizard's brand,
// the about panel and the page capture take their colours from here without
// linking the window's widgets.
//
// `PaletteHex` gives the 0xRRGGBB numbers (for code that wants plain values);
// `Palette` gives the same as opaque sRGB `QColor`s.

#include <QColor>
#include <QtGlobal>

namespace rk {

// A colour from a 24-bit number 0xRRGGBB, opaque; bits 24 to 31 are ignored,
// so a value with a stray alpha or tag byte gives the same colour.
struct Color {
    static QColor hex(quint32 value) {
        return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF), 255);
    }
};

struct PaletteHex {
    static constexpr quint32 ground(bool dark) { return dark ? 0x1C1C1E : 0xF7F6F2; }
    static constexpr quint32 card(bool dark) { return dark ? 0x2C2C2E : 0xFFFFFF; }
    static constexpr quint32 line(bool dark) { return dark ? 0x3A3A3C : 0xE3E1DA; }
    static constexpr quint32 ink(bool dark) { return dark ? 0xF2F2F7 : 0x1D1D1F; }
    static constexpr quint32 dim(bool dark) { return dark ? 0xA1A1A6 : 0x5E5E63; }
    // The accent and the text on it look the same in both schemes.
    static constexpr quint32 gold(bool = false) { return 0xC8A872; }
    static constexpr quint32 goldText(bool dark) { return dark ? 0xD9BE8C : 0x8E672C; }
    static constexpr quint32 onGold(bool = false) { return 0x1D1D1F; }
    static constexpr quint32 red(bool dark) { return dark ? 0xFF6961 : 0xC4000F; }
    static constexpr quint32 green(bool dark) { return dark ? 0x5FD07A : 0x1F7A3A; }
    static constexpr quint32 blue(bool dark) { return dark ? 0x7CB4FF : 0x1F5FCC; }
    static constexpr quint32 amber(bool dark) { return dark ? 0xF0B357 : 0x8A5300; }
    static constexpr quint32 violet(bool dark) { return dark ? 0xB79CFF : 0x5B35B5; }

    // The letter tile's fill, top to bottom, in both schemes.
    static constexpr quint32 tileTop = 0x33383D;
    static constexpr quint32 tileBottom = 0x191B1D;
};

struct Palette {
    static QColor ground(bool dark) { return Color::hex(PaletteHex::ground(dark)); }
    static QColor card(bool dark) { return Color::hex(PaletteHex::card(dark)); }
    static QColor line(bool dark) { return Color::hex(PaletteHex::line(dark)); }
    static QColor ink(bool dark) { return Color::hex(PaletteHex::ink(dark)); }
    static QColor dim(bool dark) { return Color::hex(PaletteHex::dim(dark)); }
    static QColor gold(bool dark = false) { return Color::hex(PaletteHex::gold(dark)); }
    static QColor goldText(bool dark) { return Color::hex(PaletteHex::goldText(dark)); }
    static QColor onGold(bool dark = false) { return Color::hex(PaletteHex::onGold(dark)); }
    static QColor red(bool dark) { return Color::hex(PaletteHex::red(dark)); }
    static QColor green(bool dark) { return Color::hex(PaletteHex::green(dark)); }
    static QColor blue(bool dark) { return Color::hex(PaletteHex::blue(dark)); }
    static QColor amber(bool dark) { return Color::hex(PaletteHex::amber(dark)); }
    static QColor violet(bool dark) { return Color::hex(PaletteHex::violet(dark)); }

    // `colour` with its opacity set to `opacity` (0 to 1), for tints and the
    // footer band.
    static QColor withOpacity(QColor colour, double opacity) {
        colour.setAlphaF(float(qBound(0.0, opacity, 1.0)));
        return colour;
    }
};

}  // namespace rk
