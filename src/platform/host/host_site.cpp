// The host site: ambient properties, notices, DoEvents and the front ends of the services.
// The services themselves (Qt and fake) are in host_services.cpp.
#include <tessera/Error.h>
#include <tessera/HostSite.h>

#include <QMetaMethod>

#include <QCoreApplication>
#include <QGuiApplication>

namespace tessera {

HostSite::HostSite(QObject *parent)
    : QObject(parent)
    , m_services(std::make_unique<QtHostServices>())
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        m_font = QGuiApplication::font();
}

HostSite::~HostSite() = default;

HostSite *HostSite::defaultSite()
{
    static HostSite site;
    return &site;
}

void HostSite::setServices(std::unique_ptr<HostServices> services)
{
    if (services)
        m_services = std::move(services);
    else
        m_services = std::make_unique<QtHostServices>();
}

FakeHostServices &HostSite::useFakeServices()
{
    auto fake = std::make_unique<FakeHostServices>();
    FakeHostServices &ref = *fake;
    m_services = std::move(fake);
    return ref;
}

void HostSite::setUserMode(bool userMode)
{
    if (m_userMode == userMode)
        return;
    m_userMode = userMode;
    emit UserModeChanged(userMode);
}

void HostSite::setFont(const QFont &font)
{
    if (m_font == font)
        return;
    m_font = font;
    emit FontChanged(m_font);
}

void HostSite::propertyChanged(const QString &name)
{
    m_dirty = true;
    if (m_recordingNotices)
        m_notices.append(name);
    if (m_noticeListened)
        emit PropertyChanged(name);
}

// The flag stays set when the listener goes: asking Qt whether others remain would deadlock
// there, under the connection lock it holds while it notifies a disconnection.
void HostSite::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&HostSite::PropertyChanged))
        m_noticeListened = true;
}

void HostSite::setRecordingNotices(bool on)
{
    m_recordingNotices = on;
}

void HostSite::DoEvents()
{
    QCoreApplication::processEvents();
}

int HostSite::MsgBox(const QString &prompt, int buttons, const QString &title)
{
    return m_services->showMessageBox(MessageBoxRequest { prompt, buttons, title });
}

QString HostSite::ClipboardService::GetText(int format) const
{
    if (format != vbCFText)
        throw Error(errInvalidProcedureCall,
            QStringLiteral("Only plain text (format 1) is kept on the clipboard"));
    return m_site->m_services->clipboardText();
}

void HostSite::ClipboardService::SetText(const QString &text, int format) const
{
    if (format != vbCFText)
        throw Error(errInvalidProcedureCall,
            QStringLiteral("Only plain text (format 1) is kept on the clipboard"));
    m_site->m_services->setClipboardText(text);
}

void HostSite::ClipboardService::Clear() const
{
    m_site->m_services->clearClipboard();
}

bool HostSite::FileExists(const QString &path) const
{
    if (path.isEmpty())
        return false;
    try {
        return m_services->fileExists(path);
    } catch (...) {
        return false;
    }
}

void HostSite::Kill(const QString &path) const
{
    m_services->deleteFile(path);
}

} // namespace tessera
