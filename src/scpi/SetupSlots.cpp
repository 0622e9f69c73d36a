#include "scpi/SetupSlots.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace scpi {
namespace {
// A setup line is far shorter; a bigger file is not one of ours.
constexpr qint64 kMaxSetupBytes = 1 << 20;

Outcome storageError(const QString& what) { return Outcome::error(MassStorageError, what.toStdString()); }
}  // namespace

QString SetupSlots::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/qz4471";
}

QString SetupSlots::path(int slot) const { return folder_ + "/setup" + QString::number(slot) + ".scpi"; }

Outcome SetupSlots::store(int slot, const std::string& setupLine) {
    if (!QDir().mkpath(folder_)) return storageError("cannot create " + folder_);
    const std::string text = "# QZ4471 setup " + std::to_string(slot) + ", saved by *SAV on " +
                             QDateTime::currentDateTime().toString(Qt::ISODate).toStdString() + "\n" + setupLine + "\n";
    // Unbuffered: a buffered flush that lands only part of the text is not reported.
    QSaveFile file(path(slot));
    const auto size = static_cast<qint64>(text.size());
    qint64 written = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        for (qint64 n = 0; written < size && (n = file.write(text.data() + written, size - written)) > 0;) written += n;
    }
    if (written != size || !file.commit()) return storageError(path(slot) + ": " + file.errorString());
    return Outcome::success();
}

Outcome SetupSlots::load(int slot, std::string& text) {
    QFile file(path(slot));
    if (!file.exists()) return Instrument::emptySlot(slot);
    if (!file.open(QIODevice::ReadOnly)) return storageError(path(slot) + ": " + file.errorString());
    const QByteArray bytes = file.read(kMaxSetupBytes + 1);
    if (bytes.size() > kMaxSetupBytes) return storageError(path(slot) + ": too large for a setup");
    if (file.error() != QFileDevice::NoError) return storageError(path(slot) + ": " + file.errorString());
    text = bytes.toStdString();
    return Outcome::success();
}

}  // namespace scpi
