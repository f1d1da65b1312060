#include "configscrn.h"

#include "core/linesettings.h"
#include "core/netaddress.h"
#include "diagnostics/commandsender.h"
#include "widgets/accessible.h"
#include "widgets/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

namespace vantrel
{

ConfigScrn::ConfigScrn(const Services& services, std::function<void()> portStateChanged,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_s(services), m_portStateChanged(std::move(portStateChanged))
{
    setObjectName(QStringLiteral("ConfigScrn"));
    setWindowTitle(QStringLiteral("Configure Comm Port"));
    setAttribute(Qt::WA_DeleteOnClose);
    const Twips t(this);
    setFixedSize(t(7365), t(5550));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    t.place(Text1, 240, 960, 1335, 375);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    t.place(Text2, 1920, 960, 975, 375);
    Label1 = new QLabel(QStringLiteral("Settings"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    t.place(Label1, 240, 720, 1335, 255);
    Label2 = new QLabel(QStringLiteral("Comm Port"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    t.place(Label2, 1920, 720, 1335, 255);
    Check1 = new QCheckBox(QStringLiteral("Watch only"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    t.place(Check1, 3120, 960, 2000, 375);
    Label3 = new QLabel(QStringLiteral("Serial ports on this computer"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    t.place(Label3, 240, 1560, 6885, 255);
    List1 = new QTreeWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    t.place(List1, 240, 1800, 6885, 3480);
    List1->setRootIsDecorated(false);
    List1->setAllColumnsShowFocus(true);
    List1->setHeaderLabels({QStringLiteral("Port"), QStringLiteral("Device"),
                            QStringLiteral("Description"), QStringLiteral("Manufacturer"),
                            QStringLiteral("Serial number"), QStringLiteral("Stable name")});
    List1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(List1, &QTreeWidget::currentItemChanged, this, &ConfigScrn::portChosen);
    connect(List1, &QTreeWidget::itemActivated, this, [this] {
        m_choosing = true; // Enter or a double click on the row that is already current
        portChosen();
    });
    List1->installEventFilter(this);
    List1->viewport()->installEventFilter(this);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, List1);
    setTabOrder(List1, Check1);
    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &ConfigScrn::refreshPorts);
    nameControls(this,
                 {{QStringLiteral("Text1"), QStringLiteral("Settings")},
                  {QStringLiteral("Text2"), QStringLiteral("Comm Port")},
                  {QStringLiteral("Check1"), QStringLiteral("Watch only")},
                  {QStringLiteral("List1"), QStringLiteral("Serial ports on this computer")}});
    Form_Load();
}

void ConfigScrn::Form_Load()
{
    Text1->setText(m_s.serial->settings());
    Text2->setText(QString::number(m_s.serial->commPort()));
    Check1->setChecked(m_s.serial->watchOnly());
    refreshPorts();
    m_refresh->start();
}

void ConfigScrn::refreshPorts()
{
    QList<QStringList> rows;
    QString shown;
    for (const NumberedPort& p : m_s.serial->ports()) {
        QString description = p.note.isEmpty() ? p.info.description : p.note;
        if (!p.present)
            description = QStringLiteral("(unplugged) ") + description;
        rows << QStringList{QString::number(p.number), p.info.device,       description,
                            p.info.manufacturer,       p.info.serialNumber, p.info.stableName};
        shown += rows.last().join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    if (shown == m_shown)
        return;
    m_shown = shown;
    // Redrawn whole; the row the technician stands on stays chosen.
    const QString current = List1->currentItem() ? List1->currentItem()->text(0) : QString();
    m_filling = true;
    List1->clear();
    for (const QStringList& row : rows) {
        auto* item = new QTreeWidgetItem(List1, row);
        for (int column = 0; column < row.size(); ++column)
            if (row[column].isEmpty()) // read as what it shows: nothing
                item->setData(column, Qt::AccessibleTextRole, QStringLiteral("none"));
        if (row.first() == current)
            List1->setCurrentItem(item);
    }
    m_filling = false;
}

void ConfigScrn::portChosen()
{
    if (m_filling || !m_choosing)
        return;
    m_choosing = false;
    if (List1->currentItem())
        Text2->setText(List1->currentItem()->text(0));
}

bool ConfigScrn::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::FocusIn:
        // The list makes its first row current as the focus arrives: that is no choice.
        m_choosing = false;
        break;
    case QEvent::MouseButtonPress:
        m_choosing = watched == List1->viewport();
        break;
    case QEvent::KeyPress:
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            m_choosing = true;
            break;
        default:
            m_choosing = false;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, e);
}

void ConfigScrn::Form_Unload()
{
    SerialComm& port = *m_s.serial;
    const QString before = QStringLiteral("%1 port %2").arg(port.settings()).arg(port.commPort());
    QStringList failures;
    const auto note = [&](const Result<>& done) {
        if (!done)
            failures << done.why();
    };
    const auto apply = [&] {
        note(port.setSettings(Text1->text()));
        note(port.setWatchOnly(Check1->isChecked()));
        // A network address typed in takes a port number of its own.
        const QString typed = Text2->text().trimmed();
        const Result<int> number =
            isNetAddress(typed) ? port.addAddress(typed) : parsePortNumber(Text2->text());
        if (number)
            note(port.setCommPort(*number));
        else
            failures << number.why();
    };
    if (port.portOpen()) {
        note(port.setPortOpen(false));
        apply();
        note(port.setPortOpen(true));
    } else {
        apply();
    }
    // A change of the line's settings shows in what was sent beside a capture.
    const auto line = [&] {
        return QStringLiteral("%1 port %2").arg(port.settings()).arg(port.commPort());
    };
    if (line() != before)
        recordSent(port, sent::Source::Settings, line());
    if (m_portStateChanged)
        m_portStateChanged();
    if (!failures.isEmpty())
        m_s.boxes->show(failures.join(QLatin1Char('\n')), mb::OkExclamation);
}

void ConfigScrn::closeEvent(QCloseEvent* e)
{
    m_refresh->stop();
    Form_Unload();
    e->accept();
}

} // namespace vantrel
