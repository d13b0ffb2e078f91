// SPDX-License-Identifier: MIT
#include "chart_view.h"

#include <QChart>

#include "gui/twips_layout.h"

ChartView::ChartView(const QString& name, const TwipsLayout& layout, QWidget* parent)
    : QChartView(new QChart, parent)
{
    chart()->legend()->hide();
    chart()->setTitleFont(parent->font());
    const int margin = layout.px(60);
    chart()->setMargins(QMargins(margin, margin, margin, margin));
    setObjectName(name);
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(layout.px(3600), layout.px(3600));
}
