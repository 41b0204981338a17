#include "RouterWriteConfirmation.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

QDialogButtonBox* WriteOrCancelButtons(QDialog* dialog, const QString& writeText, const QString& writeName) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* write = buttons->addButton(writeText, QDialogButtonBox::AcceptRole);
    write->setObjectName(writeName);
    write->setAutoDefault(false);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setText(QStringLiteral("&Cancel"));
    // Enter does not write: the owner asks for it by name.
    cancel->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

RouterWriteConfirmation::RouterWriteConfirmation(const QString& where, const QStringList& commands,
                                                 const QString& recordPath, QWidget* parent)
    : QDialog(parent), m_recordPath(recordPath) {
    setWindowTitle(QStringLiteral("Write repair to router - Flintor"));

    auto* intro = new QLabel(
        QStringLiteral("Flintor will send these &commands to the router %1, in this order, and read each "
                       "value back at once. It stops at the first that fails.")
            .arg(where),
        this);
    intro->setWordWrap(true);
    auto* list = new QPlainTextEdit(commands.join(QLatin1Char('\n')), this);
    list->setObjectName(QStringLiteral("commandsText"));
    list->setAccessibleName(QStringLiteral("Commands to send"));
    list->setReadOnly(true);
    list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setTabChangesFocus(true);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    list->setFont(fixed);
    const QFontMetrics metrics(fixed);
    list->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("SETENV mtd0,0x90000000,0x90000000")) +
                             4 * metrics.averageCharWidth(),
                         metrics.lineSpacing() * (qMax(2, int(commands.size())) + 1));
    intro->setBuddy(list);

    auto* recordIntro = new QLabel(
        QStringLiteral(
            "Before the first write, the router's current values are saved as a record, from which "
            "the restore commands put them back:"),
        this);
    recordIntro->setWordWrap(true);
    auto* path = new QLabel(QDir::toNativeSeparators(recordPath), this);
    path->setObjectName(QStringLiteral("recordPathLabel"));
    path->setTextFormat(Qt::PlainText);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    path->setWordWrap(true);
    // A link to look at, a button to the keyboard and to screen readers.
    auto* open = new QPushButton(QStringLiteral("Open the record's &folder"), this);
    open->setObjectName(QStringLiteral("openRecordFolder"));
    open->setFlat(true);
    open->setAutoDefault(false);
    open->setCursor(Qt::PointingHandCursor);
    QFont underlined = open->font();
    underlined.setUnderline(true);
    open->setFont(underlined);
    QPalette linkColour = open->palette();
    linkColour.setColor(QPalette::ButtonText, linkColour.color(QPalette::Link));
    open->setPalette(linkColour);
    connect(open, &QPushButton::clicked, this, &RouterWriteConfirmation::openRecordFolder);

    QDialogButtonBox* buttons =
        WriteOrCancelButtons(this, QStringLiteral("&Write"), QStringLiteral("writeButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(list, 1);
    layout->addWidget(recordIntro);
    layout->addWidget(path);
    layout->addWidget(open, 0, Qt::AlignLeft);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Cancel)->setFocus();
}

void RouterWriteConfirmation::openRecordFolder() {
    const QString folder = QFileInfo(m_recordPath).absolutePath();
    QDir().mkpath(folder);
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
