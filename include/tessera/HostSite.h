// The host site: what a control reaches its container through. Ambient properties, the
// property-changed notice, DoEvents, the message box, the plain-text clipboard and the file
// services. The platform behind the site is one abstract interface (HostServices) with a Qt
// implementation for normal use and a fake that tests drive.
#pragma once

#include <QFont>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace tessera {

// Message box styles and answers, numbered as the host runtime numbers them.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

// Clipboard format of plain text.
inline constexpr int vbCFText = 1;

// The host services raise the runtime's own numbers (RuntimeError in Error.h): errFileNotFound,
// errFileAccess, errInvalidFileFormat, errCantOpenClipboard.

struct MessageBoxRequest {
    QString text;
    int buttons = vbOKOnly; // style: button set + icon + default button
    QString title; // empty: the application's name

    friend bool operator==(const MessageBoxRequest &, const MessageBoxRequest &) = default;
};

// The buttons a style shows, in order, as answers.
QList<int> msgBoxAnswers(int buttons);
// The answer of the style's default button (what Enter presses).
int msgBoxDefaultAnswer(int buttons);

// The platform behind a site.
class HostServices {
public:
    virtual ~HostServices();

    virtual int showMessageBox(const MessageBoxRequest &request) = 0;

    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual void clearClipboard() = 0;

    virtual bool fileExists(const QString &path) = 0;
    virtual void deleteFile(const QString &path) = 0;
};

// Real message boxes, the system clipboard and the file system.
class QtHostServices : public HostServices {
public:
    int showMessageBox(const MessageBoxRequest &request) override;
    QString clipboardText() override;
    void setClipboardText(const QString &text) override;
    void clearClipboard() override;
    bool fileExists(const QString &path) override;
    void deleteFile(const QString &path) override;
};

// For tests: records message boxes instead of showing them and answers from a queue (then with
// the default button); keeps the clipboard in memory, optionally failing; files are real.
class FakeHostServices : public QtHostServices {
public:
    int showMessageBox(const MessageBoxRequest &request) override;
    QString clipboardText() override;
    void setClipboardText(const QString &text) override;
    void clearClipboard() override;

    QList<MessageBoxRequest> messageBoxes;
    QList<int> answers; // consumed front first
    QString clipboard;
    bool clipboardFails = false;
};

class HostSite : public QObject {
    Q_OBJECT
public:
    explicit HostSite(QObject *parent = nullptr);
    ~HostSite() override;

    // The site a control uses when its host gives it none.
    static HostSite *defaultSite();

    HostServices &services() const { return *m_services; }
    void setServices(std::unique_ptr<HostServices> services);
    // Installs a fresh fake and returns it; the site owns it.
    FakeHostServices &useFakeServices();

    // Ambient properties.
    bool UserMode() const { return m_userMode; }
    void setUserMode(bool userMode);
    QFont Font() const { return m_font; }
    void setFont(const QFont &font);

    // Property-changed notice: the control calls it with the member's name.
    void propertyChanged(const QString &name);
    // Set by every notice; a host clears it after saving.
    bool Dirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }
    // While recording, every notice is kept in order (off by default so bulk writes cost nothing).
    void setRecordingNotices(bool on);
    QStringList notices() const { return m_notices; }
    void clearNotices() { m_notices.clear(); }

    // Lets pending events run.
    void DoEvents();

    int MsgBox(const QString &prompt, int buttons = vbOKOnly, const QString &title = QString());

    class ClipboardService {
    public:
        QString GetText(int format = vbCFText) const;
        void SetText(const QString &text, int format = vbCFText) const;
        void Clear() const;

    private:
        friend class HostSite;
        explicit ClipboardService(HostSite *site)
            : m_site(site)
        {
        }
        HostSite *m_site;
    };
    ClipboardService Clipboard() { return ClipboardService(this); }

    // Never raises: false for an empty name, a folder or any error.
    bool FileExists(const QString &path) const;
    // Deletes a file: FileNotFound when there is none, FileAccessError when it cannot go.
    void Kill(const QString &path) const;

signals:
    void UserModeChanged(bool userMode);
    void FontChanged(const QFont &font);
    void PropertyChanged(const QString &name);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    bool m_noticeListened = false; // a notice per written cell costs nothing until somebody listens
    std::unique_ptr<HostServices> m_services;
    bool m_userMode = true;
    QFont m_font;
    bool m_dirty = false;
    bool m_recordingNotices = false;
    QStringList m_notices;
};

// The runtime's type name of an object: "Nothing" for none; Qt's classes without their leading
// Q ("ComboBox"); other classes by their name without namespace ("ImageList"). The type name of
// a value is the runtime's (Runtime.h).
QString TypeName(const QObject *object);

} // namespace tessera
