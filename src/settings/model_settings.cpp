// SPDX-License-Identifier: MIT
#include "model_settings.h"

#include <cmath>

#include <QLocale>

#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Option\\Model"_s;

double readNumber(const SettingsStore& store, const QString& key, double def, bool (*valid)(double))
{
    bool ok = false;
    const double value = store.readText(kSection, key, QString()).trimmed().toDouble(&ok);
    return ok && valid(value) ? value : def;
}

// The shortest text that reads back as the same double.
QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

bool ModelSettings::validParameter(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= 10.0;
}

bool ModelSettings::validPayback(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= 1.0;
}

ModelSettings ModelSettings::read(const SettingsStore& store)
{
    ModelSettings s;
    s.kind = store.readText(kSection, u"Kind"_s, u"0"_s).trimmed() == u"1" ? TheoryModel::Discounted
                                                                           : TheoryModel::Harville;
    s.lambda = readNumber(store, u"Lambda"_s, kDefaultLambda, validParameter);
    s.tau = readNumber(store, u"Tau"_s, kDefaultTau, validParameter);
    s.payback = readNumber(store, u"Payback"_s, kDefaultPayback, validPayback);
    return s;
}

void ModelSettings::write(SettingsStore& store) const
{
    store.writeText(kSection, u"Kind"_s, kind == TheoryModel::Discounted ? u"1"_s : u"0"_s);
    store.writeText(kSection, u"Lambda"_s, numberText(lambda));
    store.writeText(kSection, u"Tau"_s, numberText(tau));
    store.writeText(kSection, u"Payback"_s, numberText(payback));
}

QString ModelSettings::description() const
{
    const QString share = u" 払戻率%1"_s.arg(numberText(payback));
    if (kind == TheoryModel::Harville) {
        return u"Harville（従来）"_s + share;
    }
    return u"割引Harville λ=%1 τ=%2"_s.arg(numberText(lambda), numberText(tau)) + share;
}
