#include "window/address_box.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace marlowin {

namespace {

// Far more than an address bar ever shows, far less than costs a noticeable pause.
constexpr qsizetype kLongText = 65536;

}  // namespace

void AddressBox::paintEvent(QPaintEvent* event) {
    const QString all = text();
    if (all.size() <= kLongText) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect area =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).adjusted(2, 1, -2, -1);
    painter.setClipRect(area);

    // The characters before the cursor that fit, and as many after it as could.
    const QFontMetrics metrics = fontMetrics();
    const qsizetype cursor = cursorPosition();
    qsizetype start = cursor;
    int before = 0;
    while (start > 0 && before < area.width()) {
        before += metrics.horizontalAdvance(all[--start]);
    }
    if (start > 0 && all[start].isLowSurrogate()) {
        --start;
    }
    const QString shown = all.mid(start, cursor - start + area.width());
    before = metrics.horizontalAdvance(shown.left(cursor - start));  // as drawn, with fallbacks
    const int left = before >= area.width() ? area.right() - 1 - before : area.left();
    const int baseline = area.top() + (area.height() + metrics.ascent() - metrics.descent()) / 2;

    const qsizetype selected_from =
        std::clamp<qsizetype>(selectionStart() - start, 0, shown.size());
    const qsizetype selected_to =
        std::clamp<qsizetype>(selectionEnd() - start, selected_from, shown.size());
    const int x_from = left + metrics.horizontalAdvance(shown.left(selected_from));
    const int x_to = left + metrics.horizontalAdvance(shown.left(selected_to));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPoint(left, baseline), shown);
    if (hasSelectedText() && x_to > x_from) {
        const QRect band(x_from, area.top(), x_to - x_from, area.height());
        painter.fillRect(band, palette().color(QPalette::Highlight));
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawText(QPoint(x_from, baseline),
                         shown.mid(selected_from, selected_to - selected_from));
    }
    if (hasFocus()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawLine(left + before, area.top() + 2, left + before, area.bottom() - 2);
    }
}

}  // namespace marlowin
