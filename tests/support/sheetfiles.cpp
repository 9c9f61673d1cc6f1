#include "sheetfiles.h"

#include <QFile>
#include <QtEndian>
#include <zip.h>

namespace SheetFiles {

Parts workbook(const QByteArray& rows, const QByteArray& shared, const QString& sheet) {
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    Parts parts;
    parts.append({QStringLiteral("xl/workbook.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + main + "\" xmlns:r=\"" +
                      rel + "\"><sheets><sheet name=\"" + sheet.toUtf8() +
                      "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"});
    parts.append({QStringLiteral("xl/_rels/workbook.xml.rels"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                  "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
                  "Id=\"rId1\" Type=\"" +
                      rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"});
    parts.append({QStringLiteral("xl/worksheets/sheet1.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"" + main + "\"><sheetData>" +
                      rows + "</sheetData></worksheet>"});
    if (!shared.isEmpty())
        parts.append(
            {QStringLiteral("xl/sharedStrings.xml"),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"" + main + "\">" + shared + "</sst>"});
    return parts;
}

QByteArray text(const QByteArray& reference, const QString& value) {
    return "<c r=\"" + reference + "\" t=\"inlineStr\"><is><t>" + value.toHtmlEscaped().toUtf8() +
           "</t></is></c>";
}

QByteArray number(const QByteArray& reference, const QByteArray& value) {
    return "<c r=\"" + reference + "\"><v>" + value + "</v></c>";
}

bool writeZip(const QString& path, const Parts& parts, const QHash<QString, quint32>& declared) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto& [name, data] : parts) {
        zip_fileinfo info = {};
        ok = ok &&
             zipOpenNewFileInZip64(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   Z_DEFLATED, Z_BEST_SPEED, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, data.constData(), unsigned(data.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    ok = zipClose(zip, nullptr) == ZIP_OK && ok;
    if (!ok || declared.isEmpty())
        return ok;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    // Each central directory record names its part and where its local header is.
    for (qsizetype at = bytes.indexOf("PK\x01\x02"); at >= 0 && at + 46 <= bytes.size();
         at = bytes.indexOf("PK\x01\x02", at + 4)) {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
        const quint16 nameSize = qFromLittleEndian<quint16>(p + 28);
        const QString name = QString::fromUtf8(bytes.mid(at + 46, nameSize));
        if (!declared.contains(name))
            continue;
        const quint32 local = qFromLittleEndian<quint32>(p + 42);
        uchar size[4];
        qToLittleEndian<quint32>(declared.value(name), size);
        bytes.replace(at + 24, 4, reinterpret_cast<const char*>(size), 4);
        bytes.replace(qsizetype(local) + 22, 4, reinterpret_cast<const char*>(size), 4);
    }
    file.seek(0);
    return file.write(bytes) == bytes.size();
}

} // namespace SheetFiles
