// SPDX-License-Identifier: MIT
#include "twips_layout.h"

#include <QScreen>
#include <QWidget>

#include "gui/window_placement.h"

using namespace Qt::StringLiterals;

TwipsLayout::TwipsLayout(const QWidget& window)
    : m_dpi(window.screen() != nullptr ? qRound(window.screen()->logicalDotsPerInchX()) : 96)
{}

int TwipsLayout::px(double twips) const
{
    return twipsToPixels(twips, m_dpi);
}

QRect TwipsLayout::px(const QRect& twips) const
{
    return {px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())};
}

float TwipsLayout::twips(int pixels) const
{
    return pixelsToTwips(pixels, m_dpi);
}

void TwipsLayout::place(QWidget* widget, const QRect& twips) const
{
    widget->setGeometry(px(twips));
}

void TwipsLayout::place(QWidget* widget, const QRect& twips, const QPoint& origin) const
{
    widget->setGeometry(px(twips).translated(-px(origin.x()), -px(origin.y())));
}

QFont TwipsLayout::windowFont()
{
    QFont font;
    font.setFamilies({u"ＭＳ Ｐゴシック"_s, u"Noto Sans CJK JP"_s});
    font.setPointSize(9);
    return font;
}

QFont TwipsLayout::fixedPitchFont(int pointSize)
{
    QFont font;
    font.setFamilies({u"ＭＳ ゴシック"_s, u"Noto Sans Mono CJK JP"_s, u"monospace"_s});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(pointSize);
    return font;
}
