#include "viewfile.h"

#include "common/textcodec.h"
#include "richdocumentview.h"
#include "rtfreader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

std::optional<QByteArray> ViewFile::read(const QString& path, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        if (reason != nullptr) {
            *reason = why;
        }
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (info.isDir()) {
        return fail(QCoreApplication::translate("ViewFile", "it is a folder"));
    }
    if (info.exists() && !info.isFile()) {
        return fail(QCoreApplication::translate("ViewFile", "it is not an ordinary file"));
    }
    if (info.size() > kMaxBytes) {
        return fail(QCoreApplication::translate(
                        "ViewFile", "it holds %1 MB, more than the %2 MB the view takes")
                        .arg(megabytes(info.size()), megabytes(kMaxBytes)));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(file.errorString());
    }
    // Read with a bound: the size checked above may have grown since (a log being written).
    QByteArray bytes = file.read(kMaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return fail(file.errorString());
    }
    if (bytes.size() > kMaxBytes) {
        return fail(
            QCoreApplication::translate("ViewFile", "it holds more than the %1 MB the view takes")
                .arg(megabytes(kMaxBytes)));
    }
    return bytes;
}

bool ViewFile::show(RichDocumentView& view, const QByteArray& bytes, QString* reason)
{
    if (!RtfReader::isRichText(bytes)) {
        view.setText(TextCodec::decodeFileText(bytes));
        return true;
    }
    RtfReader::Conversion document = RtfReader::toHtml(bytes);
    if (document.refused()) {
        if (reason != nullptr) {
            *reason = document.refusal;
        }
        return false;
    }
    view.setRichText(document.html);
    return true;
}

QString ViewFile::megabytes(qint64 bytes)
{
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}
