// Tessera lifecycle: construction of the child widgets, Initialize, InitProperties, the resize
// settling through Timer4, Terminate; and the helpers every subsystem shares.
#include "tessera_p.h"

#include <tessera/Twips.h>

#include <QApplication>
#include <QMetaMethod>
#include <QResizeEvent>

#include <array>

namespace tessera {

namespace {
// The host container's Boolean setting that the header grid has turned off.
constexpr qint32 HeaderContainerSetting = qint32(0x8001000E);
constexpr int SettleMs = 100;
} // namespace

TesseraPrivate::TesseraPrivate(Tessera *control, HostSite *hostSite)
    : q(control)
    , site(hostSite ? hostSite : HostSite::defaultSite())
    , fxgGrid(new FlexGrid(control))
    , MSHFlexGrid1(new FlexGrid(control))
    , txtEdit(new QLineEdit(control))
    , Combo1(new QComboBox(control))
    , Picture1(new PictureBox(control))
    , Timer1(new QTimer(control))
    , Timer4(new QTimer(control))
{
    fxgGrid->setObjectName(QStringLiteral("fxgGrid"));
    MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
    txtEdit->setObjectName(QStringLiteral("txtEdit"));
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    // The editor and the gauges are shown only by the features that use them.
    txtEdit->hide();
    Combo1->hide();
    for (QTimer *timer : { Timer1, Timer4 }) {
        timer->setInterval(SettleMs);
        timer->setSingleShot(true);
    }
    // Sized once here, so showing the control does not size the grid: only the settling does.
    fxgGrid->resize(control->size());
}

void TesseraPrivate::Initialize()
{
    savedCellBackColor = -1;
    MSHFlexGrid1->setVisible(false);
    MSHFlexGrid1->setContainerSetting(HeaderContainerSetting, false);
    removedCols.assign(1, 0);
    Picture1->setLeft(-10000);
    Picture1->setTop(clientHeight() + 1000);
    backColorSel = fxgGrid->BackColorSel();
    defaultCellBackColor = 0xFFFFFF;
    magnify = 1.0;
}

void TesseraPrivate::ResizeGrid()
{
    fxgGrid->Move(0, 0, clientWidth(), clientHeight());
}

bool TesseraPrivate::IsNothing(const QObject *object)
{
    return TypeName(object) == QLatin1String("Nothing");
}

void TesseraPrivate::notify(const QString &name)
{
    if (loading)
        return;
    if (heard & HeardPropertyChanged)
        Q_EMIT q->PropertyChanged(name);
    site->propertyChanged(name);
}

const eColDefsX *TesseraPrivate::slot(qint64 position) const
{
    if (!colDefs || position < 0 || position >= qint64(colDefs->size()))
        return nullptr;
    return &(*colDefs)[size_t(position)];
}

qint32 TesseraPrivate::clientWidth() const
{
    return toTwips(q->width());
}

qint32 TesseraPrivate::clientHeight() const
{
    return toTwips(q->height());
}

// --- Tessera ----------------------------------------------------------------------------------

Tessera::Tessera(QWidget *parent, HostSite *site)
    : QWidget(parent)
    , d(std::make_unique<TesseraPrivate>(this, site))
{
    connect(d->Timer4, &QTimer::timeout, this, [this] {
        d->Timer4->stop();
        d->ResizeGrid();
    });
    // Focusing the control focuses its grid.
    setFocusProxy(d->fxgGrid);
    d->connectGridEvents();
    d->Initialize();
}

Tessera::~Tessera()
{
    Terminate();
    // The child widgets outlive the state they report to: their last focus and cell events
    // must not reach it.
    QObject::disconnect(qApp, nullptr, this, nullptr);
    for (QObject *child : children())
        child->disconnect(this);
}

HostSite *Tessera::site() const
{
    return d->site;
}

void Tessera::showEvent(QShowEvent *event)
{
    // A host that restored nothing has placed a new instance.
    if (!d->propertiesInitialized)
        InitProperties();
    QWidget::showEvent(event);
}

void Tessera::InitProperties()
{
    d->propertiesInitialized = true;
    d->enabled = true;
    d->magnify = 1.0;
    d->savedCellBackColor = -1;
    d->backColorSel = d->fxgGrid->BackColorSel();
    d->defaultCellBackColor = 0xFFFFFF;
}

void Tessera::Resize()
{
    d->Timer4->stop();
    d->Timer4->setInterval(SettleMs);
    d->Timer4->start();
}

void Tessera::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Resize();
}

namespace {
// The signals TesseraPrivate::heard notes a listener of. A bit stays set when the listener
// goes: asking Qt whether others remain would deadlock there, under the connection lock it
// holds while it notifies a disconnection, and a raise nobody hears is only a little wasted.
struct Listenable {
    QMetaMethod signal;
    quint8 bit;
};
const std::array<Listenable, 4> &listenable()
{
    static const std::array<Listenable, 4> list { {
        { QMetaMethod::fromSignal(&Tessera::PropertyChanged),
            TesseraPrivate::HeardPropertyChanged },
        { QMetaMethod::fromSignal(&Tessera::LeaveCell), TesseraPrivate::HeardLeaveCell },
        { QMetaMethod::fromSignal(&Tessera::RowColChange), TesseraPrivate::HeardRowColChange },
        { QMetaMethod::fromSignal(&Tessera::SelChange), TesseraPrivate::HeardSelChange },
    } };
    return list;
}
} // namespace

void Tessera::connectNotify(const QMetaMethod &signal)
{
    for (const Listenable &l : listenable())
        if (signal == l.signal)
            d->heard |= l.bit;
    QWidget::connectNotify(signal);
}

void Tessera::Terminate()
{
    if (d->terminated)
        return;
    d->terminated = true;
    // The window hook exists only while merged headers show.
    if (d->MSHFlexGrid1->Visible())
        d->HookEvent = nullptr;
}

} // namespace tessera
