// Writes the installed icons from the tray's glyph, so that the application list and the panel
// show one artwork: the symbolic icon is the glyph alone, the scalable icon the glyph in white
// on a rounded tile.
//
//     qw_write_icons <scalable.svg> <symbolic.svg>

#include "app/TrayGlyph.h"

#include <QFile>
#include <QPainterPath>
#include <QSaveFile>
#include <QString>
#include <QTransform>
#include <cstdio>

namespace {

QString number(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == u"-0" ? QStringLiteral("0") : text;
}

// SVG path data for a path made of lines and cubic curves (all a QPainterPath holds).
QString pathData(const QPainterPath& path)
{
    QStringList commands;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const QString point = number(element.x) + u' ' + number(element.y);
        if (element.isMoveTo()) {
            if (i > 0)
                commands << QStringLiteral("Z");
            commands << u'M' + point;
        } else if (element.isLineTo()) {
            commands << u'L' + point;
        } else if (element.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element second = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            commands << u'C' + point + u' ' + number(second.x) + u' ' + number(second.y) + u' ' +
                            number(end.x) + u' ' + number(end.y);
            i += 2;
        }
    }
    commands << QStringLiteral("Z");
    return commands.join(u' ');
}

QString fillRule(const QPainterPath& path)
{
    return path.fillRule() == Qt::OddEvenFill ? QStringLiteral("evenodd") : QStringLiteral("nonzero");
}

QString symbolicIcon()
{
    const QPainterPath glyph = qw::TrayGlyph::outline();
    // #2e3436 is the foreground colour symbolic icons are drawn in; the desktop recolours it.
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" "
                          "viewBox=\"0 0 %1 %1\">\n"
                          "  <path fill=\"#2e3436\" fill-rule=\"%2\" d=\"%3\"/>\n"
                          "</svg>\n")
        .arg(number(qw::TrayGlyph::side), fillRule(glyph), pathData(glyph));
}

QString scalableIcon()
{
    // The glyph fills the middle three quarters of a 128-unit tile.
    constexpr double tile = 128;
    constexpr double glyphSide = 96;
    const QTransform placement = QTransform::fromTranslate((tile - glyphSide) / 2, (tile - glyphSide) / 2)
                                     .scale(glyphSide / qw::TrayGlyph::side, glyphSide / qw::TrayGlyph::side);
    const QPainterPath glyph = placement.map(qw::TrayGlyph::outline());
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 128 "
               "128\">\n"
               "  <defs>\n"
               "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
               "      <stop offset=\"0\" stop-color=\"#3d8fd1\"/>\n"
               "      <stop offset=\"1\" stop-color=\"#1c5f9e\"/>\n"
               "    </linearGradient>\n"
               "  </defs>\n"
               "  <rect x=\"4\" y=\"4\" width=\"120\" height=\"120\" rx=\"26\" fill=\"url(#tile)\"/>\n"
               "  <path fill=\"#ffffff\" fill-rule=\"%1\" d=\"%2\"/>\n"
               "</svg>\n")
        .arg(fillRule(glyph), pathData(glyph));
}

bool write(const QString& fileName, const QString& text)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <scalable.svg> <symbolic.svg>\n", argv[0]);
        return 2;
    }
    if (!write(QFile::decodeName(argv[1]), scalableIcon()) ||
        !write(QFile::decodeName(argv[2]), symbolicIcon())) {
        std::fprintf(stderr, "%s: cannot write the icons\n", argv[0]);
        return 1;
    }
    return 0;
}
