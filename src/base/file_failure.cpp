// SPDX-License-Identifier: MIT
#include "file_failure.h"

#include <cerrno>

#include <QDir>

using namespace Qt::StringLiterals;

QString fileProblemText(int systemError, FileAccess access, const QString& platformText)
{
    switch (systemError) {
    case ENOENT:
        return access == FileAccess::Read ? u"ファイルがありません"_s
                                          : u"保存先のフォルダがありません"_s;
    case EACCES:
    case EPERM:
        return u"アクセスが許可されていません"_s;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return u"ディスクの空きが足りません"_s;
    case EROFS:
        return u"読み取り専用の場所です"_s;
    case EISDIR:
        return u"フォルダです"_s;
    case ENOTDIR:
        return u"途中の名前がフォルダではありません"_s;
    case ENAMETOOLONG:
        return u"名前が長すぎます"_s;
    case EMFILE:
    case ENFILE:
        return u"開いているファイルが多すぎます"_s;
    case EIO:
        return u"入出力エラーが起きました"_s;
    default:
        return platformText.isEmpty() ? u"原因不明のエラーです"_s : platformText;
    }
}

QString fileFailureLine(const QString& path, const QString& problem)
{
    return QDir::toNativeSeparators(path) + u": "_s + problem;
}
