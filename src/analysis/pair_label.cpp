// SPDX-License-Identifier: MIT
#include "pair_label.h"

#include "app/message_sink.h"

using namespace Qt::StringLiterals;

QString makePairLabel(int first, int second, MessageSink& sink)
{
    if (first == second) {
        sink.message(u"おかしいよ。馬番が２個同じだよ。馬連にならないよ"_s);
    }
    const auto twoWide = [](int n) {
        return QString::number(n).rightJustified(2, u' ');
    };
    return twoWide(qMin(first, second)) + u'-' + twoWide(qMax(first, second));
}
