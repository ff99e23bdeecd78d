#include "GioDesktopEntries.h"

#include <QFileInfo>
#include <QThread>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace vellora {

namespace {

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

QString iconText(GIcon* icon) {
    if (!icon)
        return {};
    if (G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        return names && names[0] ? fromUtf8(names[0]) : QString();
    }
    if (G_IS_FILE_ICON(icon)) {
        GFile* file = g_file_icon_get_file(G_FILE_ICON(icon));
        char* path = g_file_get_path(file);
        QString result = fromUtf8(path);
        g_free(path);
        return result;
    }
    return {};
}

DesktopEntry entryOf(GDesktopAppInfo* info) {
    GAppInfo* app = G_APP_INFO(info);
    DesktopEntry e;
    e.id = fromUtf8(g_app_info_get_id(app));
    e.path = fromUtf8(g_desktop_app_info_get_filename(info));
    e.name = fromUtf8(g_app_info_get_name(app));
    e.icon = iconText(g_app_info_get_icon(app));
    e.startupWmClass = fromUtf8(g_desktop_app_info_get_startup_wm_class(info));
    e.executable = QFileInfo(fromUtf8(g_app_info_get_executable(app))).fileName();
    e.shown = g_app_info_should_show(app);
    return e;
}

} // namespace

struct GioDesktopEntries::Impl {
    GAppInfoMonitor* monitor = nullptr;
    gulong handler = 0;
    std::optional<InstalledApplications> reading;

    // GIO says this once for a folder until the next g_app_info_get_all() looks at it again,
    // which the reading it starts does.
    static void onChanged(GAppInfoMonitor*, gpointer settle) {
        static_cast<QTimer*>(settle)->start();
    }
};

GioDesktopEntries::GioDesktopEntries(DesktopEntryIndex& index)
    : d(std::make_unique<Impl>()), index_(index) {
    settle_.setSingleShot(true);
    settle_.setInterval(1000);
    connect(&settle_, &QTimer::timeout, this, &GioDesktopEntries::read);
    // The monitor reports through the GLib main context of this thread, which Qt's event loop
    // runs.
    d->monitor = g_app_info_monitor_get();
    d->handler = g_signal_connect(d->monitor, "changed", G_CALLBACK(&Impl::onChanged), &settle_);
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!d->reading)
                read();
        },
        Qt::QueuedConnection);
}

GioDesktopEntries::~GioDesktopEntries() {
    Q_ASSERT(QThread::currentThread() == thread());
    g_signal_handler_disconnect(d->monitor, d->handler);
    g_object_unref(d->monitor);
}

void GioDesktopEntries::read() {
    Q_ASSERT(QThread::currentThread() == thread());
    InstalledApplications reading;
    GList* all = g_app_info_get_all();
    for (GList* it = all; it; it = it->next) {
        if (G_IS_DESKTOP_APP_INFO(it->data))
            reading.entries << entryOf(G_DESKTOP_APP_INFO(it->data));
    }
    g_list_free_full(all, g_object_unref);
    if (GAppInfo* app = g_app_info_get_default_for_type("inode/directory", FALSE)) {
        reading.fileManagerId = fromUtf8(g_app_info_get_id(app));
        g_object_unref(app);
    }
    d->reading = reading;
    index_.publish(std::move(reading));
}

std::optional<InstalledApplications> GioDesktopEntries::installed() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!d->reading)
        read();
    return d->reading;
}

} // namespace vellora
