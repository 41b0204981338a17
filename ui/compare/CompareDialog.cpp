#include "CompareDialog.h"

#include "AsciiText.h"
#include "FileDrop.h"
#include "ImageWriteOutcome.h"
#include "ImageWriteProgress.h"
#include "OrvoPartitions.h"
#include "RouterTask.h"
#include "RouterWriteConfirmation.h"
#include "TextConversion.h"
#include "Texts.h"
#include "Workflow.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <tuple>

namespace {

// Long enough that a paste or a burst of typing is read once, short enough to feel immediate.
constexpr int kReadDelayMs = 250;

const QColor kDifferenceBack(0xFF, 0xE0, 0xE0);
constexpr const char* kPlaceholderColour = "6E6E6E";

QString rangeText(const flintor::PartitionBounds& bounds) {
    return fromStd(flintor::HexAddress(bounds.start)) + QStringLiteral(" - ") +
           fromStd(flintor::HexAddress(bounds.end));
}

// As the window's flash size options name it: "4MB (0x400000)", or the hexadecimal size alone.
QString sizeText(std::int64_t size) {
    const QString hex = QStringLiteral("0x") + QString::number(size, 16).toUpper();
    return size % 0x100000 == 0 ? QStringLiteral("%1MB (%2)").arg(size / 0x100000).arg(hex) : hex;
}

QString loaderName(bool adam2) {
    return adam2 ? QStringLiteral("Adam2") : QStringLiteral("PSP");
}

// The map's Partitions text of a list of bounds, as the main window's map has it.
QString partitionsText(const std::vector<flintor::PartitionBounds>& partitions) {
    QStringList entries;
    for (const flintor::PartitionBounds& bounds : partitions)
        entries << QStringLiteral("mtd%1:%2,%3").arg(bounds.number).arg(bounds.start).arg(bounds.end);
    return entries.join(QLatin1Char(';'));
}

// The same partitions in words, for those who cannot see the map.
QString partitionsDescription(const std::vector<flintor::PartitionBounds>& partitions) {
    QStringList entries;
    for (const flintor::PartitionBounds& bounds : partitions)
        entries << QStringLiteral("mtd%1 %2").arg(bounds.number).arg(rangeText(bounds));
    return entries.join(QStringLiteral(", "));
}

// "mtd0", "mtd0 and mtd1", "mtd0, mtd1 and mtd4".
QString nameList(const QList<int>& numbers) {
    QString text;
    for (int i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            text += i + 1 == numbers.size() ? QStringLiteral(" and ") : QStringLiteral(", ");
        text += QStringLiteral("mtd%1").arg(numbers[i]);
    }
    return text;
}

// The status word with a mark, so that a difference shows without its colour.
QString statusText(flintor::PartitionStatus status) {
    const QString word = QString::fromLatin1(flintor::StatusName(status));
    switch (status) {
    case flintor::PartitionStatus::Same:
        return word;
    case flintor::PartitionStatus::Differs:
        return QStringLiteral("\u2260 ") + word;
    case flintor::PartitionStatus::Missing:
    case flintor::PartitionStatus::Extra:
    case flintor::PartitionStatus::Unreadable:
        return QStringLiteral("\u2717 ") + word;
    }
    return word;
}

// "Read back" of a written partition: whether it reads back as calculated, with a mark for those who
// do not see the colour. A partition of the repair that no write reached is "not written".
QString readBackText(const flintor::PartitionWrite* write) {
    if (!write)
        return QStringLiteral("not written");
    if (write->ok)
        return QStringLiteral("\u2713 as calculated");
    return write->readBackValue ? QStringLiteral("\u2717 differs") : QStringLiteral("\u2717 not read back");
}

// A side that scrolls only once it cannot fit at all: its text boxes give up height before that, as
// they would in the dialog's own layout.
class ShrinkingSide : public QWidget {
public:
    using QWidget::QWidget;
    int heightForWidth(int width) const override {
        return layout() ? layout()->minimumHeightForWidth(width) : QWidget::heightForWidth(width);
    }
};

QLabel* wrappedLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The warning sign beside a line of text that says why something was refused; hidden otherwise.
QLabel* refusalIcon(QWidget* parent) {
    auto* icon = new QLabel(parent);
    const int size = parent->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, parent);
    icon->setPixmap(parent->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    icon->setAccessibleName(QStringLiteral("Refused"));
    icon->hide();
    return icon;
}

// A refusal is said in bold, beside the warning sign.
void showNotice(QLabel* icon, QLabel* label, const QString& text, bool refusal) {
    label->setText(text);
    icon->setVisible(refusal);
    QFont font = label->font();
    font.setBold(refusal);
    label->setFont(font);
}

// A table cell that needs the owner's eye: bold on a light red ground.
void markCell(QTableWidgetItem* item, const QFont& tableFont, bool marked) {
    QFont font = tableFont;
    font.setBold(marked);
    item->setFont(font);
    item->setData(Qt::BackgroundRole, marked ? QVariant(kDifferenceBack) : QVariant());
    item->setData(Qt::ForegroundRole, marked ? QVariant(QColor(Qt::black)) : QVariant());
}

QPlainTextEdit* commandBox(QWidget* parent, const QString& name, const QString& accessibleName) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setReadOnly(true);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // A file dropped here is for the dialog, which reads it as a capture.
    box->setAcceptDrops(false);
    box->setTabChangesFocus(true);
    box->setMinimumHeight(box->fontMetrics().lineSpacing() * 3 + 2 * box->frameWidth() + 8);
    return box;
}

QPushButton* button(QWidget* parent, const QString& text, const QString& name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter in the text box or the table must not press a button of the dialog.
    button->setAutoDefault(false);
    return button;
}

} // namespace

CompareDialog::CompareDialog(CompareHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setWindowTitle(QStringLiteral("Compare with router - Flintor"));
    setSizeGripEnabled(true);
    setAcceptDrops(true);
    m_recordFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/records");
    m_confirmWrite = [](QWidget* parent, const QString& where, const QStringList& commands,
                        const QString& recordPath) {
        return RouterWriteConfirmation(where, commands, recordPath, parent).exec() == QDialog::Accepted;
    };
    m_confirmImageWrite = [](QWidget* parent,
                             const ImageWriteQuestion& question) -> std::optional<ImageWriteChoice> {
        ImageWriteConfirmation asking(question, parent);
        if (asking.exec() != QDialog::Accepted)
            return std::nullopt;
        return asking.choice();
    };
    createControls();
    // The window's choices decide the settings check, the output form and the comparison, and each
    // completed calculation gives new calculated values.
    m_host.watchChoices(this, [this] { refresh(); });
    m_fileChooser = [this](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Open a router capture"),
                                            m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder,
                                            QStringLiteral("All files (*);;Text files (*.txt *.log)"));
    };
    // Wrapped texts need height the layout's minimum does not count: the dialog keeps enough for them.
    setMinimumSize(minimumSizeHint().expandedTo(QSize(0, fontMetrics().lineSpacing() * 34)));
    QSize size = sizeHint();
    if (const QScreen* screen = (parent ? parent : this)->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size.expandedTo(minimumSize()));
    refresh();
    // The dialog is opened to paste into.
    m_capture->setFocus();
}

// The conversation ends before the dialog's parts do.
CompareDialog::~CompareDialog() {
    delete m_task;
}

void CompareDialog::createControls() {
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    auto* instruction = new QLabel(
        QStringLiteral("&Paste what the router printed (printenv, quote GETENV, /proc/ticfg/env) or open a "
                       "capture file:"),
        this);
    instruction->setWordWrap(true);
    m_capture = new QPlainTextEdit(this);
    m_capture->setObjectName(QStringLiteral("captureText"));
    m_capture->setAccessibleName(QStringLiteral("Router capture"));
    m_capture->setFont(fixed);
    m_capture->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_capture->setTabChangesFocus(true);
    m_capture->setPlaceholderText(
        QStringLiteral("For example:\n(psbl) printenv\nmtd0  0x900A0000,0x90400000\n"
                       "mtd1  0x90020090,0x900A0000\n..."));
    m_capture->viewport()->installEventFilter(this);
    m_capture->setMinimumHeight(m_capture->fontMetrics().lineSpacing() * 6);
    instruction->setBuddy(m_capture);
    m_readTimer = new QTimer(this);
    m_readTimer->setObjectName(QStringLiteral("readTimer"));
    m_readTimer->setSingleShot(true);
    m_readTimer->setInterval(kReadDelayMs);
    connect(m_readTimer, &QTimer::timeout, this, &CompareDialog::readCapture);
    connect(m_capture, &QPlainTextEdit::textChanged, m_readTimer, qOverload<>(&QTimer::start));

    m_open = button(this, QStringLiteral("&Open..."), QStringLiteral("openButton"));
    m_open->setToolTip(QStringLiteral("Open a capture file; its text goes into the box above"));
    connect(m_open, &QPushButton::clicked, this, &CompareDialog::chooseCaptureFile);
    m_messageIcon = refusalIcon(this);
    m_message = wrappedLabel(this, QStringLiteral("messageLabel"));
    createRouterControls();

    auto* settingsBox = new QGroupBox(QStringLiteral("What the capture reveals"), this);
    m_bootloader = wrappedLabel(settingsBox, QStringLiteral("bootloaderLabel"));
    m_bootloaderReason = wrappedLabel(settingsBox, QStringLiteral("bootloaderReason"));
    m_flashSize = wrappedLabel(settingsBox, QStringLiteral("flashSizeLabel"));
    m_flashSizeReason = wrappedLabel(settingsBox, QStringLiteral("flashSizeReason"));
    for (QLabel* value : {m_bootloader, m_flashSize}) {
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
    }
    m_settingsCheck = wrappedLabel(settingsBox, QStringLiteral("settingsCheck"));
    m_useSettings =
        button(settingsBox, QStringLiteral("&Use these settings"), QStringLiteral("useSettingsButton"));
    m_useSettings->setToolTip(
        QStringLiteral("Check this boot loader and select this flash size in the main window"));
    connect(m_useSettings, &QPushButton::clicked, this, &CompareDialog::useSettings);
    auto* settingsGrid = new QGridLayout(settingsBox);
    settingsGrid->addWidget(new QLabel(QStringLiteral("Boot loader:"), settingsBox), 0, 0, Qt::AlignTop);
    settingsGrid->addWidget(m_bootloader, 0, 1);
    settingsGrid->addWidget(m_bootloaderReason, 1, 1);
    settingsGrid->addWidget(new QLabel(QStringLiteral("Flash size:"), settingsBox), 2, 0, Qt::AlignTop);
    settingsGrid->addWidget(m_flashSize, 2, 1);
    settingsGrid->addWidget(m_flashSizeReason, 3, 1);
    settingsGrid->addWidget(m_settingsCheck, 4, 0, 1, 2);
    settingsGrid->addWidget(m_useSettings, 5, 0, 1, 2, Qt::AlignLeft);
    settingsGrid->setColumnStretch(1, 1);

    auto* notesLabel = new QLabel(QStringLiteral("&Notes:"), this);
    m_notes = new QPlainTextEdit(this);
    m_notes->setObjectName(QStringLiteral("notesText"));
    m_notes->setAccessibleName(QStringLiteral("Notes"));
    m_notes->setReadOnly(true);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_notes->setAcceptDrops(false);
    m_notes->setTabChangesFocus(true);
    m_notes->setPlaceholderText(QStringLiteral("No notes."));
    m_notes->setMinimumHeight(m_notes->fontMetrics().lineSpacing() * 3);
    notesLabel->setBuddy(m_notes);

    m_comparedWith = wrappedLabel(this, QStringLiteral("comparedWithLabel"));
    m_table = new QTableWidget(6, 5, this);
    m_table->setObjectName(QStringLiteral("partitionTable"));
    m_table->setAccessibleName(QStringLiteral("Partitions"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Partition"), QStringLiteral("Router"),
                                        QStringLiteral("Calculated"), QStringLiteral("Status"),
                                        QStringLiteral("Read back")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    // Wide enough for the longest status in bold, with room after it.
    QFont boldFixed = fixed;
    boldFixed.setBold(true);
    const QFontMetrics boldMetrics(boldFixed);
    header->setSectionResizeMode(3, QHeaderView::Fixed);
    header->resizeSection(3, boldMetrics.horizontalAdvance(statusText(flintor::PartitionStatus::Unreadable)) +
                                 2 * boldMetrics.averageCharWidth());
    // How each partition written reads back; shown once the router was written to.
    header->setSectionResizeMode(4, QHeaderView::Fixed);
    header->resizeSection(4, boldMetrics.horizontalAdvance(readBackText(nullptr) + QStringLiteral(" back")) +
                                 2 * boldMetrics.averageCharWidth());
    m_table->setColumnHidden(4, true);
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 5; ++column)
            m_table->setItem(row, column, new QTableWidgetItem);
    m_table->setFont(fixed);
    header->setFont(font());
    m_table->resizeRowsToContents();
    m_table->setFixedHeight(header->sizeHint().height() + m_table->verticalHeader()->length() +
                            2 * m_table->frameWidth());
    const QFontMetrics fixedMetrics(fixed);
    const int addressWidth = fixedMetrics.horizontalAdvance(QStringLiteral("0x90000000 - 0x90000000")) +
                             2 * fixedMetrics.averageCharWidth();
    m_tableWidth =
        header->sectionSizeHint(0) + 2 * addressWidth + header->sectionSize(3) + 2 * m_table->frameWidth();
    m_table->setMinimumWidth(m_tableWidth);

    const ::OrvoPartitions* mainMap = &m_host.partitionMap();
    const auto map = [this, mainMap](const QString& name, const QString& accessibleName,
                                     const QString& toolTip) {
        auto* map = new ::OrvoPartitions(this);
        map->setObjectName(name);
        map->setAccessibleName(accessibleName);
        map->setToolTip(toolTip);
        map->setLabelFont(mainMap->labelFont());
        map->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        map->setMinimumWidth(map->sizeHint().width() / 3);
        return map;
    };
    m_routerMap = map(QStringLiteral("routerMap"), QStringLiteral("Router's partitions"),
                      QStringLiteral("The router's partitions, as the capture shows them"));
    m_calculatedMap = map(QStringLiteral("calculatedMap"), QStringLiteral("Calculated partitions"),
                          QStringLiteral("The calculated partitions they are compared with"));

    m_repairState = wrappedLabel(this, QStringLiteral("repairStateLabel"));
    m_repair = commandBox(this, QStringLiteral("repairText"), QStringLiteral("Repair commands"));
    m_restore = commandBox(this, QStringLiteral("restoreText"), QStringLiteral("Restore commands"));
    m_copyRepair = button(this, QStringLiteral("Copy"), QStringLiteral("copyRepairButton"));
    m_copyRepair->setAccessibleName(QStringLiteral("Copy the repair commands"));
    m_copyRepair->setToolTip(QStringLiteral("Copy the repair commands to the clipboard"));
    m_copyRestore = button(this, QStringLiteral("Copy"), QStringLiteral("copyRestoreButton"));
    m_copyRestore->setAccessibleName(QStringLiteral("Copy the restore commands"));
    m_copyRestore->setToolTip(QStringLiteral("Copy the restore commands to the clipboard"));
    const auto copy = [](const QPlainTextEdit* box) {
        QGuiApplication::clipboard()->setText(box->toPlainText());
    };
    connect(m_copyRepair, &QPushButton::clicked, this, [this, copy] { copy(m_repair); });
    connect(m_copyRestore, &QPushButton::clicked, this, [this, copy] { copy(m_restore); });
    auto* repairLabel = new QLabel(QStringLiteral("R&epair (sets the calculated values):"), this);
    repairLabel->setBuddy(m_repair);
    auto* restoreLabel = new QLabel(QStringLiteral("Re&store (puts the router's values back):"), this);
    restoreLabel->setBuddy(m_restore);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Left: what the owner gives and what it reveals; right: the comparison and its commands.
    auto* left = new QVBoxLayout;
    left->addWidget(instruction);
    left->addWidget(m_capture, 3);
    auto* openRow = new QHBoxLayout;
    openRow->addWidget(m_open, 0, Qt::AlignTop);
    openRow->addWidget(m_messageIcon, 0, Qt::AlignTop);
    openRow->addWidget(m_message, 1);
    left->addLayout(openRow);
    // The router's own way to the text box, laid out as the file's.
    left->addWidget(m_connection);
    auto* readRow = new QHBoxLayout;
    readRow->addWidget(m_readRouter);
    readRow->addWidget(m_cancelRouter);
    readRow->addWidget(m_routerIcon);
    readRow->addStretch(1);
    left->addLayout(readRow);
    left->addWidget(m_writeImage, 0, Qt::AlignLeft);
    // A line of its own: a label that wraps beside others is given less height than its text needs.
    left->addWidget(m_routerStatus);
    left->addWidget(m_imageProgress);
    left->addWidget(settingsBox);
    left->addWidget(notesLabel);
    left->addWidget(m_notes, 1);
    // The reasons and notes wrap: in a small dialog the left side scrolls rather than cut them off.
    auto* leftPane = new QScrollArea(this);
    leftPane->setFrameShape(QFrame::NoFrame);
    leftPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    leftPane->setWidgetResizable(true);
    auto* leftWidget = new ShrinkingSide(leftPane);
    left->setContentsMargins(0, 0, 0, 0);
    leftWidget->setLayout(left);
    leftWidget->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    leftPane->setWidget(leftWidget);
    leftPane->setMinimumWidth(leftWidget->minimumWidth() +
                              leftPane->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, leftPane));

    auto* right = new QVBoxLayout;
    right->addWidget(m_comparedWith);
    right->addWidget(m_table);
    auto* maps = new QGridLayout;
    maps->addWidget(new QLabel(QStringLiteral("Router"), this), 0, 0);
    maps->addWidget(m_routerMap, 0, 1);
    maps->addWidget(new QLabel(QStringLiteral("Calculated"), this), 1, 0);
    maps->addWidget(m_calculatedMap, 1, 1);
    maps->setColumnStretch(1, 1);
    right->addLayout(maps);
    right->addWidget(m_repairState);
    for (const auto& [label, box, copyButton] : {std::tuple{repairLabel, m_repair, m_copyRepair},
                                                 std::tuple{restoreLabel, m_restore, m_copyRestore}}) {
        auto* row = new QHBoxLayout;
        row->addWidget(label, 1);
        if (box == m_repair)
            row->addWidget(m_writeRouter);
        row->addWidget(copyButton);
        right->addLayout(row);
        right->addWidget(box, 1);
    }

    auto* columns = new QHBoxLayout;
    columns->addWidget(leftPane, 2);
    columns->addSpacing(fontMetrics().averageCharWidth() * 2);
    columns->addLayout(right, 3);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(columns, 1);
    whole->addWidget(buttons);

    setTabOrder(m_capture, m_open);
    setTabOrder(m_open, m_connection->firstControl());
    setTabOrder(m_connection->lastControl(), m_readRouter);
    setTabOrder(m_readRouter, m_cancelRouter);
    setTabOrder(m_cancelRouter, m_writeImage);
    setTabOrder(m_writeImage, m_useSettings);
    setTabOrder(m_useSettings, m_notes);
    setTabOrder(m_notes, m_table);
    setTabOrder(m_table, m_repair);
    setTabOrder(m_repair, m_writeRouter);
    setTabOrder(m_writeRouter, m_copyRepair);
    setTabOrder(m_copyRepair, m_restore);
    setTabOrder(m_restore, m_copyRestore);
    setTabOrder(m_copyRestore, buttons->button(QDialogButtonBox::Close));
}

void CompareDialog::createRouterControls() {
    m_connection = new RouterLinkChooser(m_host, this);
    m_connection->setObjectName(QStringLiteral("routerConnection"));
    connect(m_connection, &RouterLinkChooser::submitted, this, &CompareDialog::readFromRouter);
    // Image writing follows the way chosen.
    connect(m_connection, &RouterLinkChooser::choiceChanged, this, &CompareDialog::showRouterControls);
    m_readRouter = button(this, QStringLiteral("&Read from router"), QStringLiteral("readRouterButton"));
    m_readRouter->setToolTip(
        QStringLiteral("Wait for the router's boot loader and read its partition values"));
    connect(m_readRouter, &QPushButton::clicked, this, &CompareDialog::readFromRouter);
    m_cancelRouter = button(this, QStringLiteral("Cance&l"), QStringLiteral("cancelRouterButton"));
    m_cancelRouter->setAccessibleName(QStringLiteral("Cancel"));
    m_cancelRouter->setToolTip(
        QStringLiteral("Stop waiting for the router; a write in hand is finished first"));
    // In the Read button's place, which it takes while the router is talked to.
    m_cancelRouter->setMinimumWidth(m_readRouter->sizeHint().width());
    m_cancelRouter->hide();
    connect(m_cancelRouter, &QPushButton::clicked, this, &CompareDialog::stopRouter);
    m_routerIcon = refusalIcon(this);
    m_routerStatus = wrappedLabel(this, QStringLiteral("routerStatusLabel"));
    m_routerStatus->setAccessibleName(QStringLiteral("Router status"));
    // A line kept for it, so that the first word from the router does not move what is below.
    m_routerStatus->setMinimumHeight(m_routerStatus->fontMetrics().lineSpacing());
    m_writeRouter =
        button(this, QStringLiteral("&Write repair to router..."), QStringLiteral("writeRouterButton"));
    m_writeRouter->setToolTip(writeTip());
    m_writeRouter->setEnabled(false);
    connect(m_writeRouter, &QPushButton::clicked, this, &CompareDialog::writeToRouter);
    m_writeImage =
        button(this, QStringLiteral("Write &image to router..."), QStringLiteral("writeImageButton"));
    m_writeImage->setEnabled(false);
    connect(m_writeImage, &QPushButton::clicked, this, &CompareDialog::writeImageToRouter);
    m_imageProgress = new ImageWriteProgress(this);
    m_imageProgress->setObjectName(QStringLiteral("imageWriteProgress"));
    // Once the first byte of the image went out, Cancel stays off until the write has ended.
    connect(m_imageProgress, &ImageWriteProgress::cancellableChanged, this,
            [this](bool cancellable, const QString& reason) {
                m_cancelRouter->setEnabled(cancellable);
                m_cancelRouter->setToolTip(
                    cancellable
                        ? QStringLiteral("Stop waiting for the router; a write in hand is finished first")
                        : reason);
            });
}

QString CompareDialog::writeTip() {
    return QStringLiteral("Write the repair to the router that was read and read each value "
                          "back; asks first, and keeps a record of the router's values");
}

QString CompareDialog::writeRefusal() const {
    if (!m_read || !m_read->reading || !m_comparison || !m_comparison->refusal)
        return {};
    return fromStd(m_comparison->refusal->message);
}

bool CompareDialog::talkingToRouter() const {
    return m_task != nullptr;
}

void CompareDialog::readFromRouter() {
    if (m_task)
        return;
    QString error;
    const std::optional<RouterReach> reach = m_connection->useChoice(error);
    if (!reach) {
        showRouterStatus(error, true);
        return;
    }
    auto* task = new RouterTask(reach->session(m_routerOptions), this);
    connect(task, &RouterTask::readFinished, this,
            [this, reach = *reach](const flintor::RouterReadResult& result) { finishRead(result, reach); });
    startTask(task, *reach);
    task->read();
}

void CompareDialog::writeToRouter() {
    const std::vector<flintor::PartitionBounds> repair = routerRepair();
    if (m_task || repair.empty())
        return;
    const RouterReach reach = m_read->reach;
    QStringList commands;
    for (const flintor::PartitionBounds& bounds : repair)
        commands << reach.setenvCommand(bounds);
    const auto when = std::chrono::system_clock::now();
    const QString recordPath =
        QDir::cleanPath(m_recordFolder + QLatin1Char('/') + fromStd(flintor::RecordFileName(when)));
    if (!m_confirmWrite || !m_confirmWrite(this, reach.where(), commands, recordPath))
        return;
    // The owner agreed to these commands: if the reading or the calculation changed while asking,
    // they are not the ones to send.
    if (m_task || routerRepair() != repair) {
        showRouterStatus(QStringLiteral("The values changed while you were asked; nothing was written."),
                         true);
        return;
    }
    auto* task = new RouterTask(reach.session(m_routerOptions), this);
    connect(task, &RouterTask::writingStarted, this, [this, reach] {
        showRouterStatus(QStringLiteral("Writing the repair to the router %1 ...").arg(reach.where()), false);
    });
    connect(task, &RouterTask::writeFinished, this, [this, repair, reach](const RouterWriteOutcome& outcome) {
        finishWrite(outcome, repair, reach);
    });
    startTask(task, reach);
    task->write(*m_read->reading, repair, m_recordFolder, when);
}

void CompareDialog::stopRouter() {
    if (!m_task)
        return;
    m_task->stop();
    if (m_task->writing())
        showRouterStatus(
            m_imageProgress->isVisible()
                ? QStringLiteral("Stopping: the step in hand is finished, then nothing more is "
                                 "written.")
                : QStringLiteral("Stopping: the partition in hand is written and read back, then "
                                 "nothing more is written."),
            false);
}

void CompareDialog::done(int result) {
    // While the router writes its flash, closing can only stop what comes after: the owner is asked.
    if (m_task && !m_imageProgress->confirmStop(this))
        return;
    if (m_task && m_task->writing()) {
        // A write cut short would leave the owner not knowing what the router holds: the dialog stays
        // until the partition in hand is done, and says how far the repair went.
        stopRouter();
        return;
    }
    if (m_task)
        m_task->stop();
    // A write follows a read made while the dialog is open: the router may be another one by the time
    // the dialog opens again.
    if (m_read)
        m_read->reading.reset();
    showRouterControls();
    QDialog::done(result);
}

void CompareDialog::startTask(RouterTask* task, const RouterReach& reach) {
    m_task = task;
    m_taskReach = reach;
    m_waitNote.clear();
    connect(task, &RouterTask::progressed, this, &CompareDialog::showRouterProgress);
    const bool readHadFocus = m_readRouter->hasFocus();
    showRouterControls();
    if (readHadFocus)
        m_cancelRouter->setFocus();
    showRouterStatus(QStringLiteral("Connecting to the router %1 ...").arg(reach.where()), false);
}

void CompareDialog::endTask() {
    if (m_task) {
        // Its thread has done its work and ends at once; the task goes once the signal is handled.
        m_task->deleteLater();
        m_task = nullptr;
    }
    const bool cancelHadFocus = m_cancelRouter->hasFocus();
    showRouterControls();
    if (cancelHadFocus)
        m_readRouter->setFocus();
}

void CompareDialog::showRouterProgress(const flintor::RouterProgress& progress) {
    if (!m_task)
        return;
    const bool console = !m_taskReach.address;
    QString text;
    switch (progress.stage) {
    case flintor::RouterProgress::Stage::Notice:
        // Said until the console shows something else: the next second of the countdown must not hide it.
        m_waitNote = QStringLiteral(". ") + fromStd(flintor::Capitalised(progress.text)) + QLatin1Char('.');
        [[fallthrough]];
    case flintor::RouterProgress::Stage::Waiting: {
        const auto seconds = (progress.waitLeft.count() + 999) / 1000;
        text = QStringLiteral("Waiting for the boot loader %1 ... switch the router on now%2 (%3 %4 left)%5")
                   .arg(m_taskReach.where(),
                        console ? QStringLiteral("; Flintor presses ESC for you") : QString())
                   .arg(seconds)
                   .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"), m_waitNote);
        break;
    }
    case flintor::RouterProgress::Stage::Connected:
        text = console
                   ? fromStd(flintor::Capitalised(progress.text)) + QStringLiteral(" ...")
                   : QStringLiteral("Connected to the router %1; logging in ...").arg(m_taskReach.where());
        break;
    case flintor::RouterProgress::Stage::LoggedIn:
        text = console ? QStringLiteral("At the boot loader's prompt; reading the partition values ...")
                       : QStringLiteral("Logged in; reading the partition values ...");
        break;
    case flintor::RouterProgress::Stage::Writing:
    case flintor::RouterProgress::Stage::ReadBack:
    case flintor::RouterProgress::Stage::TransferStep:
    case flintor::RouterProgress::Stage::SendingImage:
    case flintor::RouterProgress::Stage::WritingFlash:
    case flintor::RouterProgress::Stage::ReadingImage:
    case flintor::RouterProgress::Stage::CancelRefused:
        text = fromStd(flintor::Capitalised(progress.text));
        break;
    }
    showRouterStatus(text, false);
}

void CompareDialog::finishRead(const flintor::RouterReadResult& result, const RouterReach& reach) {
    endTask();
    if (!result.reading) {
        QString text = fromStd(result.message);
        if (result.failure == flintor::FailureKind::NoAnswer)
            text +=
                QStringLiteral(" Its boot loader answers for a few seconds after power-on only: switch the "
                               "router off, press \"Read from router\", then switch it on.");
        showRouterStatus(text, result.failure != flintor::FailureKind::Cancelled);
        return;
    }
    // As a paste would, with the reading kept for a repair while the text box holds it as read.
    m_repairBegun.clear();
    m_writes.clear();
    m_capture->setPlainText(fromStd(flintor::CaptureText(*result.reading)));
    m_read = RouterRead{m_capture->toPlainText(), reach, result.reading};
    showRouterStatus(QStringLiteral("Read from the router %1.").arg(reach.where()), false);
    m_shownRefusal.clear();
    // A refusal to write what the read shows replaces the line.
    readCapture();
}

void CompareDialog::finishWrite(const RouterWriteOutcome& outcome,
                                const std::vector<flintor::PartitionBounds>& repair,
                                const RouterReach& reach) {
    endTask();
    const QString nothing = QStringLiteral(" Nothing was written.");
    if (!outcome.read.reading) {
        showRouterStatus(fromStd(outcome.read.message) + nothing,
                         outcome.read.failure != flintor::FailureKind::Cancelled);
    } else if (outcome.changedSinceRead) {
        if (m_read)
            m_read->reading.reset();
        showRouterStatus(QStringLiteral("The router %1 no longer holds the values read before; nothing was "
                                        "written. Read it again.")
                             .arg(reach.where()),
                         true);
    } else if (outcome.stoppedBeforeWriting) {
        showRouterStatus(QStringLiteral("Stopped before the first write.") + nothing, false);
    } else if (!outcome.applied) {
        showRouterStatus(
            QStringLiteral("The record of the router's values could not be written: %1 Nothing was "
                           "written to the router.")
                .arg(fromStd(outcome.record.error)),
            true);
    } else {
        const flintor::ApplyResult& applied = *outcome.applied;
        m_repairBegun = repair;
        m_writes = applied.writes;
        // The router holds other values than those read: a repair needs a new read.
        if (!applied.writes.empty() && m_read)
            m_read->reading.reset();
        QList<int> kept;
        for (std::size_t i = 0; i < applied.writes.size() && i < repair.size(); ++i)
            if (applied.writes[i].ok)
                kept << repair[i].number;
        const QString readBack =
            kept.size() == 1 ? QStringLiteral(" reads back") : QStringLiteral(" read back");
        QString text = applied.ok
                           ? QStringLiteral("Repaired: %1%2 as calculated.").arg(nameList(kept), readBack)
                       : kept.isEmpty() ? fromStd(applied.message)
                                        : QStringLiteral("%1%2 as calculated. %3")
                                              .arg(nameList(kept), readBack, fromStd(applied.message));
        text += QStringLiteral(" The router's values before are kept in the record %1")
                    .arg(QDir::toNativeSeparators(fromStd(outcome.record.path)));
        showRouterStatus(text, !applied.ok);
        showTable();
    }
    showRouterControls();
}

void CompareDialog::showRouterStatus(const QString& text, bool refusal) {
    showNotice(m_routerIcon, m_routerStatus, text, refusal);
}

std::vector<flintor::PartitionBounds> CompareDialog::routerRepair() const {
    // While the router's reading is kept, the text box holds it as read, and the comparison is of it.
    if (!m_read || !m_read->reading || !m_comparison)
        return {};
    return flintor::RepairPartitions(*m_comparison);
}

void CompareDialog::showRouterControls() {
    const bool busy = m_task != nullptr;
    m_connection->setEnabled(!busy);
    m_readRouter->setVisible(!busy);
    m_cancelRouter->setVisible(busy);
    // The boot block or configuration block of the router read is not where the layout puts them: the
    // layout is not this router's, and nothing of it is written.
    const QString refusal = writeRefusal();
    m_writeRouter->setEnabled(!busy && !routerRepair().empty() && refusal.isEmpty());
    m_writeRouter->setToolTip(refusal.isEmpty() ? writeTip()
                                                : QStringLiteral("Nothing can be written: %1").arg(refusal));
    const QString imageRefusal = imageWriteRefusal();
    m_writeImage->setEnabled(!busy && imageRefusal.isEmpty());
    m_writeImage->setToolTip(
        imageRefusal.isEmpty()
            ? QStringLiteral("Write the image last calculated into the router's image area, read it back and "
                             "set the values; asks first, and keeps a record of the router's values")
            : QStringLiteral("No image can be written: %1").arg(imageRefusal));
    if (!busy && refusal != m_shownRefusal) {
        if (!refusal.isEmpty())
            showRouterStatus(refusal, true);
        else if (m_routerStatus->text() == m_shownRefusal)
            showRouterStatus(QString(), false);
        m_shownRefusal = refusal;
    }
}

std::optional<flintor::RouterComparison> CompareDialog::imageWriteComparison() const {
    const auto& last = m_host.lastCalculation();
    if (!m_read || !m_read->reading || !m_environment || !last)
        return std::nullopt;
    return flintor::CompareWithRouter(flintor::ImageWriteLayout(last->layout), *m_environment,
                                      m_host.inputs().outputForm);
}

QString CompareDialog::imageWriteRefusal() const {
    // The image goes over the FTP server only, read there first.
    if (const QString network = m_connection->imageWriteRefusal(); !network.isEmpty())
        return network;
    if (m_read && !m_read->reach.address)
        return QStringLiteral("Writing the image needs the network connection: the router was read at its "
                              "console. Choose \"Network\" and read it there.");
    const auto comparison = imageWriteComparison();
    if (!comparison)
        return QStringLiteral("read the router first, with an image calculated in the main window.");
    return fromStd(flintor::ImageWriteRefusal(*m_host.lastCalculation(), *comparison));
}

void CompareDialog::writeImageToRouter() {
    const auto comparison = imageWriteComparison();
    if (m_task || !comparison || !imageWriteRefusal().isEmpty())
        return;
    const auto when = std::chrono::system_clock::now();
    const RouterReach reach = m_read->reach;
    const PreparedImageWrite prepared = PrepareImageWrite(
        *m_host.lastCalculation(), *comparison, reach.where(),
        QDir::cleanPath(m_recordFolder + QLatin1Char('/') + fromStd(flintor::RecordFileName(when))));
    if (!prepared.problem.isEmpty()) {
        showRouterStatus(prepared.problem, true);
        return;
    }
    // Named, not bound: clang 14 captures no structured binding in a lambda.
    const std::vector<flintor::PartitionBounds>& order = prepared.order;
    const auto choice = m_confirmImageWrite ? m_confirmImageWrite(this, prepared.question) : std::nullopt;
    if (!choice)
        return;
    const auto now = imageWriteComparison();
    if (m_task || !now || flintor::RepairPartitions(*now) != flintor::RepairPartitions(*comparison)) {
        showRouterStatus(QStringLiteral("The values changed while you were asked; nothing was written."),
                         true);
        return;
    }
    auto* task = new RouterTask(reach.session(m_routerOptions), this);
    connect(task, &RouterTask::writingStarted, this, [this, reach] {
        showRouterStatus(QStringLiteral("Writing the image to the router %1 ...").arg(reach.where()), false);
    });
    connect(task, &RouterTask::imageWriteProgressed, m_imageProgress, &ImageWriteProgress::showStep);
    connect(task, &RouterTask::imageWriteFinished, this,
            [this, order, reach](const ImageWriteTaskOutcome& outcome) {
                finishImageWrite(outcome, order, reach);
            });
    startTask(task, reach);
    m_imageProgress->begin();
    task->writeImage(*m_read->reading, *comparison, prepared.image, choice->backup, choice->reboot,
                     m_recordFolder, when);
}

void CompareDialog::finishImageWrite(const ImageWriteTaskOutcome& outcome,
                                     const std::vector<flintor::PartitionBounds>& order,
                                     const RouterReach& reach) {
    endTask();
    m_imageProgress->end();
    if (!outcome.result) {
        // As a repair that was not begun.
        finishWrite({outcome.read, outcome.changedSinceRead, outcome.stoppedBeforeWriting, {}, {}}, order,
                    reach);
        return;
    }
    const flintor::ImageWriteResult& result = *outcome.result;
    if (!result.nothingWritten()) {
        // The router holds other values than those read: a write needs a new read.
        if (m_read)
            m_read->reading.reset();
        m_repairBegun = order;
        m_writes = result.writes;
    }
    const ImageWriteSummary summary = SummarizeImageWrite(result);
    showRouterStatus(summary.text, summary.refusal);
    showTable();
    showRouterControls();
}

void CompareDialog::chooseCaptureFile() {
    const QString path = m_fileChooser ? m_fileChooser(this) : QString();
    if (!path.isEmpty())
        openCaptureFile(path);
}

void CompareDialog::openCaptureFile(const QString& path) {
    const flintor::RouterCaptureReading checked =
        flintor::ReadRouterEnvironmentFile(QFile::encodeName(path).toStdString());
    if (!checked.environment) {
        const QString error = fromStd(checked.error);
        showMessage(m_capture->document()->isEmpty()
                        ? error
                        : error + QStringLiteral(" The text box keeps its text."),
                    true);
        return;
    }
    m_lastFolder = QFileInfo(path).absolutePath();
    showCapture(fromStd(checked.text));
}

void CompareDialog::showCapture(const QString& text) {
    m_capture->setPlainText(text);
    readCapture();
}

void CompareDialog::readCapture() {
    m_readTimer->stop();
    const QString text = m_capture->toPlainText();
    if (!m_read || text != m_read->text) {
        // Another capture: no longer what the router gave, nor what was written to it.
        m_read.reset();
        m_repairBegun.clear();
        m_writes.clear();
    }
    m_environment.reset();
    if (text.trimmed().isEmpty()) {
        showMessage(QString(), false);
    } else {
        // One byte for each character: a capture within the reader's limit as a file stays within it as
        // text, and the reader looks at ASCII only.
        const QByteArray bytes = text.toLatin1();
        // A router that lost every value is compared all the same: each partition is missing.
        const bool fromRouter = m_read && m_read->reading;
        flintor::RouterCaptureReading reading = flintor::ReadRouterEnvironment(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), !fromRouter);
        if (reading.environment) {
            QList<int> numbers, unreadable;
            for (const flintor::PartitionBounds& bounds : reading.environment->partitions)
                numbers << bounds.number;
            for (const flintor::UnreadableValue& value : reading.environment->unreadable)
                unreadable << value.number;
            QString message =
                numbers.isEmpty() && unreadable.isEmpty() ? QStringLiteral("The router holds no mtd values.")
                : numbers.isEmpty()                       ? QString()
                                    : QStringLiteral("Read %1 from the capture.").arg(nameList(numbers));
            if (!unreadable.isEmpty())
                message += QStringLiteral("%1%2 %3 no address range.")
                               .arg(message.isEmpty() ? QString() : QStringLiteral(" "), nameList(unreadable),
                                    unreadable.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
            showMessage(message, false);
            m_environment = std::move(reading.environment);
        } else {
            showMessage(fromStd(reading.error), true);
        }
    }
    refresh();
}

void CompareDialog::showMessage(const QString& text, bool refusal) {
    showNotice(m_messageIcon, m_message, text, refusal);
}

void CompareDialog::refresh() {
    const flintor::WorkflowInputs in = m_host.inputs();
    m_settings.reset();
    if (m_environment) {
        m_settings = flintor::InferRouterSettings(*m_environment);
        // A capture that cannot tell the boot loader still tells the flash size under the owner's choice.
        const std::optional<bool> chosen = in.adam2 ? std::optional(true)
                                           : in.psp ? std::optional(false)
                                                    : std::nullopt;
        if (!m_settings->adam2 && chosen)
            m_settings = flintor::InferRouterSettings(*m_environment, chosen);
    }
    const auto& last = m_host.lastCalculation();
    m_comparison.reset();
    if (m_environment && last)
        m_comparison = flintor::CompareWithRouter(last->layout, *m_environment, in.outputForm);
    showSettings();
    showTable();
    showMaps();
    showCommands();
    showNotes();
    showRouterControls();
}

void CompareDialog::showSettings() {
    // The values are named with their field, which a screen reader would otherwise not say with them.
    const auto showValue = [](QLabel* label, const QString& field, const QString& value) {
        label->setText(value);
        label->setAccessibleName(field + value);
    };
    const QString bootloader = QStringLiteral("Boot loader: ");
    const QString flashSize = QStringLiteral("Flash size: ");
    if (!m_settings) {
        showValue(m_bootloader, bootloader, QStringLiteral("-"));
        showValue(m_flashSize, flashSize, QStringLiteral("-"));
        for (QLabel* label : {m_bootloaderReason, m_flashSizeReason, m_settingsCheck})
            label->clear();
        m_useSettings->setEnabled(false);
        return;
    }
    const flintor::RouterSettings& settings = *m_settings;
    const QString choose = QStringLiteral(" Choose it in the main window.");
    showValue(m_bootloader, bootloader,
              settings.adam2 ? loaderName(*settings.adam2) : QStringLiteral("not known"));
    m_bootloaderReason->setText(fromStd(settings.bootloaderReason) + (settings.adam2 ? QString() : choose));
    showValue(m_flashSize, flashSize,
              settings.flashSize ? sizeText(*settings.flashSize) : QStringLiteral("not known"));
    m_flashSizeReason->setText(fromStd(settings.flashSizeReason) + (settings.flashSize ? QString() : choose));

    const flintor::WorkflowInputs in = m_host.inputs();
    QStringList check;
    if (settings.adam2 && (in.adam2 != *settings.adam2 || in.psp == *settings.adam2))
        check << (in.adam2 || in.psp
                      ? QStringLiteral("The main window has %1 checked.").arg(loaderName(in.adam2))
                      : QStringLiteral("The main window has no boot loader checked."));
    if (settings.flashSize) {
        const flintor::FlashSizeReading chosen =
            flintor::ReadFlashSize(in.memoryOption, in.sizeInMb, in.sizeInHex);
        if (!chosen.chosen)
            check << QStringLiteral("The main window has no flash size selected.");
        else if (!chosen.error.empty())
            check << QStringLiteral("The main window's flash size cannot be used: %1")
                         .arg(fromStd(chosen.error));
        else if (chosen.flashSize == 0)
            check << QStringLiteral("The main window has \"Don't know\" selected for the flash size.");
        else if (chosen.flashSize != *settings.flashSize)
            check << QStringLiteral("The main window has the flash size %1.").arg(sizeText(chosen.flashSize));
    }
    m_useSettings->setEnabled(!check.isEmpty());
    if (check.isEmpty())
        check << (settings.adam2 || settings.flashSize
                      ? QStringLiteral("The main window uses these settings.")
                      : QStringLiteral("Nothing to set in the main window."));
    const auto& last = m_host.lastCalculation();
    if (last && ((settings.adam2 && last->adam2 != *settings.adam2) ||
                 (settings.flashSize && last->effectiveFlashSize != *settings.flashSize)))
        check << QStringLiteral("The values below were calculated for %1 and %2: calculate again with these "
                                "settings to compare like with like.")
                     .arg(loaderName(last->adam2), sizeText(last->effectiveFlashSize));
    m_settingsCheck->setText(check.join(QLatin1Char(' ')));
}

void CompareDialog::useSettings() {
    if (m_settings)
        m_host.useRouterSettings(m_settings->adam2, m_settings->flashSize);
    refresh();
}

void CompareDialog::showTable() {
    const auto& last = m_host.lastCalculation();
    const flintor::BlockComparison* block = m_comparison && !m_comparison->blocks.empty()
                                                ? &m_comparison->blocks[m_comparison->matched]
                                                : nullptr;
    QString comparedWith;
    if (block && !block->layout.empty())
        comparedWith = QStringLiteral("Compared with: %1, the closest of the %2 layouts calculated for %3")
                           .arg(fromStd(block->layout))
                           .arg(m_comparison->blocks.size())
                           .arg(fromStd(last->fileName));
    else if (block)
        comparedWith =
            QStringLiteral("Compared with: the values calculated for %1").arg(fromStd(last->fileName));
    else if (last)
        comparedWith =
            QStringLiteral("Calculated for %1; no capture to compare with yet.").arg(fromStd(last->fileName));
    else
        comparedWith = QStringLiteral("Nothing calculated yet.");
    m_comparedWith->setText(comparedWith);

    for (int number = 0; number < 6; ++number) {
        const flintor::PartitionBounds* router = m_environment ? m_environment->partition(number) : nullptr;
        const flintor::UnreadableValue* unreadable =
            m_environment ? m_environment->unreadableValue(number) : nullptr;
        std::optional<flintor::PartitionBounds> calculated;
        std::optional<flintor::PartitionStatus> status;
        if (block) {
            for (const flintor::PartitionComparison& partition : block->partitions)
                if (partition.number == number) {
                    calculated = partition.calculated;
                    status = partition.status;
                }
        } else if (last && !last->layout.blocks.empty()) {
            for (const flintor::PartitionBounds& bounds : last->layout.blocks.front().partitions)
                if (bounds.number == number)
                    calculated = bounds;
        }
        const QString texts[4] = {QStringLiteral("mtd%1").arg(number),
                                  router          ? rangeText(*router)
                                  : unreadable    ? fromStd(flintor::QuotedShort(unreadable->text, 40))
                                  : m_environment ? QStringLiteral("not set")
                                                  : QStringLiteral("-"),
                                  calculated ? rangeText(*calculated)
                                  : last     ? QStringLiteral("none")
                                             : QStringLiteral("-"),
                                  status  ? statusText(*status)
                                  : block ? QStringLiteral("-")
                                          : QString()};
        const bool differs = status && *status != flintor::PartitionStatus::Same;
        for (int column = 0; column < 4; ++column) {
            QTableWidgetItem* item = m_table->item(number, column);
            item->setText(texts[column]);
            markCell(item, m_table->font(), differs);
        }
        // Screen readers say the word, not the mark before it.
        m_table->item(number, 3)->setData(
            Qt::AccessibleTextRole, status ? QString::fromLatin1(flintor::StatusName(*status)) : texts[3]);
        showReadBack(number);
    }
    const bool written = !m_repairBegun.empty();
    if (m_table->isColumnHidden(4) == written) {
        m_table->setColumnHidden(4, !written);
        m_table->setMinimumWidth(m_tableWidth + (written ? m_table->horizontalHeader()->sectionSize(4) : 0));
        // The dialog's least size is its own (see the constructor): it widens for the column itself.
        layout()->activate();
        if (minimumWidth() < layout()->minimumSize().width())
            setMinimumWidth(layout()->minimumSize().width());
    }
}

void CompareDialog::showReadBack(int number) {
    QTableWidgetItem* item = m_table->item(number, 4);
    const auto begun =
        std::find_if(m_repairBegun.begin(), m_repairBegun.end(),
                     [number](const flintor::PartitionBounds& b) { return b.number == number; });
    const flintor::PartitionWrite* write = nullptr;
    QString detail;
    if (begun != m_repairBegun.end()) {
        // The writes went in the repair's order.
        const auto index = static_cast<std::size_t>(begun - m_repairBegun.begin());
        if (index < m_writes.size()) {
            write = &m_writes[index];
            detail = QStringLiteral("Sent: %1\nReply: %2\nRead back: %3")
                         .arg(fromStd(write->sent),
                              write->reply.empty() ? QStringLiteral("none") : fromStd(write->reply),
                              write->readBack        ? rangeText(*write->readBack)
                              : write->readBackValue ? fromStd(flintor::QuotedShort(*write->readBackValue))
                                                     : QStringLiteral("nothing"));
        }
    }
    const QString text = begun == m_repairBegun.end() ? QString() : readBackText(write);
    const bool failed = write && !write->ok;
    item->setText(text);
    item->setToolTip(detail);
    markCell(item, m_table->font(), failed);
    item->setData(Qt::AccessibleTextRole, text.startsWith(QChar(0x2713)) || failed ? text.mid(2) : text);
}

void CompareDialog::showMaps() {
    const ::OrvoPartitions* mainMap = &m_host.partitionMap();
    const auto show = [mainMap](::OrvoPartitions* map,
                                const std::vector<flintor::PartitionBounds>* partitions,
                                const QString& placeholder) {
        const QString text = partitions ? partitionsText(*partitions) : placeholder + QStringLiteral(":0,1");
        // A placeholder is an empty grey box: the map's colours would make it look like a partition.
        const QString colours = partitions ? mainMap->colours() : QString::fromLatin1(kPlaceholderColour);
        if (map->colours() != colours)
            map->setColours(colours);
        if (map->fillParts() != (partitions && mainMap->fillParts()))
            map->setFillParts(partitions && mainMap->fillParts());
        if (map->partitions() != text)
            map->setPartitions(text);
        map->setAccessibleDescription(partitions ? partitionsDescription(*partitions) : placeholder);
    };
    show(m_routerMap, m_environment ? &m_environment->partitions : nullptr, QStringLiteral("no capture yet"));
    const auto& last = m_host.lastCalculation();
    const std::vector<flintor::PartitionBounds>* calculated = nullptr;
    // The comparison has one block for each block of the layout, in its order.
    if (last && !last->layout.blocks.empty())
        calculated = &last->layout.blocks[m_comparison ? m_comparison->matched : 0].partitions;
    show(m_calculatedMap, calculated, QStringLiteral("not calculated yet"));
}

void CompareDialog::showCommands() {
    const auto& last = m_host.lastCalculation();
    QString state;
    if (!m_environment) {
        state = QString();
    } else if (!last) {
        state = QStringLiteral("Calculate the MTD values in the main window to compare them.");
    } else if (m_comparison->allSame()) {
        state = QStringLiteral("The router's values match the calculated ones: nothing to repair.");
    } else {
        QList<int> differ, missing, extra, unreadable;
        for (const flintor::PartitionComparison& partition :
             m_comparison->blocks[m_comparison->matched].partitions) {
            if (partition.status == flintor::PartitionStatus::Differs)
                differ << partition.number;
            else if (partition.status == flintor::PartitionStatus::Unreadable)
                unreadable << partition.number;
            else if (partition.status == flintor::PartitionStatus::Missing)
                missing << partition.number;
            else if (partition.status == flintor::PartitionStatus::Extra)
                extra << partition.number;
        }
        QStringList parts;
        if (!differ.isEmpty())
            parts << nameList(differ) +
                         (differ.size() == 1 ? QStringLiteral(" differs") : QStringLiteral(" differ"));
        if (!unreadable.isEmpty())
            parts << nameList(unreadable) +
                         (unreadable.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
                         QStringLiteral(" no address range on the router");
        if (!missing.isEmpty())
            parts << nameList(missing) +
                         (missing.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
                         QStringLiteral(" not set on the router");
        if (!extra.isEmpty())
            parts << nameList(extra) + (extra.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
                         QStringLiteral(" set on the router only, and left as set");
        state = parts.join(QStringLiteral("; ")) + QLatin1Char('.');
    }
    m_repairState->setText(state);
    m_repairState->setVisible(!state.isEmpty());

    // The commands, then a line on what they leave out or cannot put back.
    const auto withLines = [](const std::string& commands, const std::vector<std::string>& lines) {
        QStringList text;
        if (!commands.empty())
            text << forDisplay(commands);
        for (const std::string& line : lines)
            if (!line.empty())
                text << fromStd(line);
        return text.join(QLatin1Char('\n'));
    };
    const QString repair =
        m_comparison ? withLines(m_comparison->repairText, {m_comparison->repairNote}) : QString();
    const QString restore =
        m_comparison ? withLines(m_comparison->restoreText, m_comparison->restoreUnreadable) : QString();
    if (m_repair->toPlainText() != repair)
        m_repair->setPlainText(repair);
    if (m_restore->toPlainText() != restore)
        m_restore->setPlainText(restore);
    m_copyRepair->setEnabled(!repair.isEmpty());
    m_copyRestore->setEnabled(!restore.isEmpty());
    const QString formName = m_host.outputFormName(m_host.inputs().outputForm.value_or(0));
    for (QPlainTextEdit* box : {m_repair, m_restore})
        box->setToolTip(QStringLiteral("In the output form chosen in the main window: %1").arg(formName));
}

void CompareDialog::showNotes() {
    QStringList notes;
    const auto add = [&notes](const std::vector<std::string>& texts) {
        for (const std::string& text : texts)
            notes << QStringLiteral("\u2022 ") + fromStd(text);
    };
    if (m_environment)
        add(m_environment->notes);
    if (m_settings)
        add(m_settings->notes);
    if (m_comparison)
        add(m_comparison->notes);
    const QString text = notes.join(QLatin1Char('\n'));
    if (m_notes->toPlainText() != text)
        m_notes->setPlainText(text);
}

bool CompareDialog::takeFileDrop(QEvent* event) {
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = FirstDroppedFile(drop->mimeData());
    if (path.isEmpty())
        return false;
    // Dropped text is pasted as usual; a dropped file is read as a capture, never moved.
    if (AcceptSafely(drop) && event->type() == QEvent::Drop)
        openCaptureFile(path);
    return true;
}

void CompareDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (!takeFileDrop(event))
        event->ignore();
}

void CompareDialog::dragMoveEvent(QDragMoveEvent* event) {
    if (!takeFileDrop(event))
        event->ignore();
}

void CompareDialog::dropEvent(QDropEvent* event) {
    if (!takeFileDrop(event))
        event->ignore();
}

bool CompareDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_capture->viewport() && takeFileDrop(event))
        return true;
    return QDialog::eventFilter(watched, event);
}
