#pragma once

#include <QPainterPath>

namespace qw {

// The program's glyph, a speech bubble holding two lines of text (the second shorter), as one
// filled outline on an 18-unit square. The tray icon fills it in the panel's text colour and the
// installed icons are written from it, so the panel and the application list show the same
// artwork. It is an outline rather than a stroke because desktops recolour symbolic icons by
// their fill.
class TrayGlyph {
public:
    static constexpr double side = 18.0;

    static QPainterPath outline();
};

} // namespace qw
