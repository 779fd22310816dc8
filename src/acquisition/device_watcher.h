#pragma once
// Watches for capture devices coming and going (video nodes appearing in or
// leaving /dev) and reports a burst of changes once, after it has been quiet
// for the settle time (300 ms), so the form probes the device once per burst.

#include <QObject>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

namespace bc {

class CDeviceWatcher : public QObject {
    Q_OBJECT
public:
    // Watches `folder` for nodes named video*. `settleMs` is the quiet time
    // after the last change before devicesChanged() is emitted.
    explicit CDeviceWatcher(QObject* parent = nullptr, int settleMs = 300,
                            const QString& folder = QStringLiteral("/dev"));
    ~CDeviceWatcher() override;

    int settleMs() const { return settleMs_; }

public slots:
    // A change happened (called by the folder watch; tests call it directly).
    void notifyChange();

signals:
    // Once per burst of changes.
    void devicesChanged();

private:
    void folderChanged();
    QStringList videoNodes() const;

    int settleMs_;
    QString folder_;
    QStringList nodes_;
    QTimer settle_;
    QFileSystemWatcher* watcher_ = nullptr;
};

} // namespace bc
