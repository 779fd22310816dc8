#include "analysis/strip_sink.h"

#include <QObject>
#include <QPointer>

namespace bc {

namespace {
QPointer<QObject> g_owner;
IStripSink* g_sink = nullptr;
} // namespace

void registerStripSink(QObject* owner, IStripSink* sink)
{
    if (!owner || !sink) {
        g_owner.clear();
        g_sink = nullptr;
        return;
    }
    g_owner = owner;
    g_sink = sink;
}

void unregisterStripSink(QObject* owner)
{
    if (g_owner == owner || g_owner.isNull()) {
        g_owner.clear();
        g_sink = nullptr;
    }
}

IStripSink* registeredStripSink()
{
    return g_owner.isNull() ? nullptr : g_sink;
}

} // namespace bc
