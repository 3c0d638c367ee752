#ifndef DOSEGATE_CHARTSCOMPAT_H
#define DOSEGATE_CHARTSCOMPAT_H

#include <QtCharts/QAreaSeries>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

// Qt 5 keeps the chart classes in a namespace of their own; Qt 6 does not.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

#endif
