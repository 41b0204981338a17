#include "frmMain.h"

#include "Colour.h"
#include "CompareDialog.h"
#include "DirList.h"
#include "DriveList.h"
#include "DropDownListAccessible.h"
#include "FileBrowser.h"
#include "FileList.h"
#include "LineControl.h"
#include "LocalNames.h"
#include "OrvoLabel.h"
#include "OrvoPartitions.h"
#include "OrvoSimpleButton.h"
#include "OutputFormat.h"
#include "PropertyBag.h"
#include "RouterAddress.h"
#include "Settings.h"
#include "TextConversion.h"
#include "modDragDrop.h"
#include "modMTD.h"
#include "modMisc.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#ifdef FLINTOR_SESSION_BUS
#include <QDBusConnection>
#endif
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QUrl>
#ifdef FLINTOR_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <exception>
#include <future>
#include <new>
#include <system_error>
#include <vector>

#ifndef FLINTOR_VERSION_MAJOR
#define FLINTOR_VERSION_MAJOR 1
#define FLINTOR_VERSION_MINOR 0
#define FLINTOR_VERSION_REVISION 1
#endif

namespace {

constexpr const char* kTitle = "Flintor";
constexpr const char* kMapColours = "FF,FF4040,1A93E0,C000,C0C000,22BAB8,800080,52F0BE";
constexpr const char* kSettingsSection = "Paths";
constexpr const char* kSettingsKey = "Last path";
constexpr const char* kRouterSection = "Router";
constexpr const char* kRouterKey = "Address";
constexpr const char* kRouterLinkKey = "Connection"; // "network" or "serial"
constexpr const char* kSerialPortKey = "Serial port";
constexpr const char* kSerialSpeedKey = "Speed";
constexpr int kClientWidth = 8280;
constexpr int kClientHeight = 8940;

// Designed places of the controls that keep them whatever the window's size (twips, relative to
// their container).
constexpr TwipRect kOptMem[5] = {{0, 300, 855, 255}, {960, 300, 855, 255}, {2040, 300, 1095, 255},
                                 {3960, 300, 1095, 255}, {6360, 300, 1335, 255}};
constexpr TwipRect kTxtMB{3120, 300, 495, 285};
constexpr TwipRect kTxtHex{5160, 300, 855, 285};
constexpr TwipRect kChkPSP{0, 900, 1095, 255};
constexpr TwipRect kChkAdam2{1320, 900, 1095, 255};
constexpr TwipRect kLblMTD5{3600, 870, 1455, 255};
constexpr TwipRect kCboMTD5{5160, 840, 1335, 315};
constexpr TwipRect kCmdRead{0, 0, 2055, 375};
constexpr TwipRect kOptOut[4] = {{120, 480, 1815, 255}, {120, 720, 1815, 255}, {120, 960, 1815, 255},
                                 {120, 1200, 1815, 255}};
constexpr TwipRect kChkIncFilename{120, 1560, 1815, 255};
// The compare command takes one line under "Include filename"; the note moves down into the room its
// four lines left at the bottom of their place and still clears the logo at 192 dots per inch.
constexpr TwipRect kCmdCompare{0, 1830, 1695, 240};
constexpr TwipRect kLblInfo{0, 2100, 2055, 750};
constexpr TwipRect kImgLogo{0, 2880, 2055, 615};

const char* const kStepCaptions[3] = {"1) Select a firmware image file:",
                                      "2) Select the size of you router's Flash ROM size:",
                                      "3) Select you router's bootloader type:"};

std::string localBytes(const QString& name) {
    const QByteArray bytes = encodeLocalName(name);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QFont pointFont(const char* family, double points, bool bold = false) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

int checkedIndex(const QRadioButton* const* buttons, int count) {
    for (int i = 0; i < count; ++i)
        if (buttons[i]->isChecked())
            return i;
    return -1;
}

// The option buttons and check boxes keep their box close to the caption.
class CompactChoiceStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_RadioButtonLabelSpacing || metric == PM_CheckBoxLabelSpacing)
            return 3;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// A bar of the map as the results write its range and the window its sizes:
// "mtd1: 0x90020090 to 0x900A0000, 511.86 KB".
// A range whose ends are no flash addresses is written in plain numbers.
QString partitionWords(const PartitionEntry& entry) {
    const auto isAddress = [](double value) {
        return value >= 0 && value <= 0xFFFFFFFF && value == std::floor(value);
    };
    const bool addresses = isAddress(entry.Start) && isAddress(entry.End);
    const auto number = [addresses](double value) {
        return addresses ? fromStd(flintor::HexAddress(static_cast<std::uint32_t>(value)))
                         : QString::number(value, 'g', 15);
    };
    QString words = entry.Label.isEmpty() ? QString() : entry.Label + QStringLiteral(": ");
    words += number(entry.Start) + QStringLiteral(" to ") + number(entry.End);
    return words + QStringLiteral(", ") + fromStd(flintor::SizeText(entry.End - entry.Start)).trimmed();
}

// A frame drawn without a border is a plain container, as a plain widget is. Qt would make it a
// "frame", which on the desktop's accessibility bus is a window of its own: a screen reader that
// finds it inactive stays silent for every control inside it.
QAccessibleInterface* borderlessFrameAccessible(const QString&, QObject* object) {
    if (object->metaObject() == &QFrame::staticMetaObject)
        if (auto* frame = static_cast<QFrame*>(object); frame->frameShape() == QFrame::NoFrame)
            return new QAccessibleWidget(frame, QAccessible::Client);
    return nullptr;
}

bool isMenuRequest(const QEvent* event) {
    if (event->type() == QEvent::ContextMenu)
        return static_cast<const QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        return key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
    }
    return false;
}

// What beginStartUp() has set going.
struct EarlyWork {
    std::shared_future<void> fonts;
    std::shared_future<void> bus;
};

EarlyWork& earlyWork() {
    static EarlyWork work;
    return work;
}

// The pictures of the first frame, decoded away from the widgets.
struct FirstFramePictures {
    QImage logo;
    QImage linkCursor;
};

// Work for a worker thread; without a thread to be had, it runs when its result is asked for.
template <typename Work> auto OnWorker(Work work) {
    return std::async(std::launch::async | std::launch::deferred, std::move(work));
}

// Reading the font configuration is the largest piece of work the first frame needs, and neither it nor
// decoding the pictures touches a widget: a worker does them while the window makes its controls (the
// first of which waits for the session bus). The font database serialises its users, so the first text
// laid out waits for the worker rather than reading the configuration a second time. Without a thread
// to be had, the same work runs when the pictures are asked for.
std::future<FirstFramePictures> prepareFirstFrame(bool highResolution) {
    return OnWorker([highResolution] {
        // Reading the configuration twice at once would only double the work.
        if (const std::shared_future<void>& early = earlyWork().fonts; early.valid())
            early.wait();
        QFontDatabase::families();
        // A screen scaled by 2 or more shows the logo drawn at twice its size (its name says so to Qt).
        return FirstFramePictures{QImage(highResolution ? QStringLiteral(":/flintor/logo@2x.png")
                                                        : QStringLiteral(":/flintor/logo.png")),
                                  QImage(QStringLiteral(":/flintor/link-cursor.png"))};
    });
}

// Waits for what beginStartUp() set going. A connection to the session bus still being made when the
// process ends would find Qt's bus manager torn down under it (a crash, or a hang at exit); a program that
// ends at once, such as a test program asked only for its list of tests, would meet that.
void finishEarlyWork() {
    EarlyWork& work = earlyWork();
    for (const std::shared_future<void>* early : {&work.fonts, &work.bus})
        if (early->valid())
            early->wait();
}

} // namespace

void frmMain::beginStartUp() {
    EarlyWork& work = earlyWork();
    // The application, when it ends, runs its post routines first of all.
    static const bool finishedAtExit = (qAddPostRoutine(finishEarlyWork), true);
    Q_UNUSED(finishedAtExit);
#ifdef FLINTOR_FONTCONFIG
    // Plain fontconfig, which needs no application object: Qt's font database takes the configuration it
    // has read and only adds its own list of the faces.
    if (!work.fonts.valid())
        work.fonts = OnWorker([] { FcInit(); }).share();
#endif
#ifdef FLINTOR_SESSION_BUS
    // The accessibility bridge connects to the session bus the first time a control asks whether anyone
    // listens (the first drop-down list does), and waits for it: where a helper process has to find (or
    // start) the bus, that takes several milliseconds. Qt's bus connections live on a thread of their own
    // that needs no application object, so the connection can be under way while the application starts;
    // the bridge then finds it made. Qt takes the first thread that asks for its own as the main thread:
    // the caller asks before the worker does.
    if (!work.bus.valid()) {
        QThread::currentThread();
        work.bus = OnWorker([] { QDBusConnection::sessionBus(); }).share();
    }
#endif
    Q_UNUSED(work);
}

QString CaptionFor(int major, int minor, int revision) {
    return QStringLiteral("Flintor for Class II routers v%1.%2.%3").arg(major).arg(minor).arg(revision);
}

/// The window's side of the Calculate command: status line, results box, partition map, focus and
/// message boxes, with pending events processed after each status text and search chunk.
class frmMain::CalculationHost : public flintor::WorkflowHost {
public:
    explicit CalculationHost(frmMain& window) : m_window(window) {}

    void setStatus(const std::string& text) override { m_window.lblStatus->setText(fromStd(text)); }
    bool processEvents() override {
        QCoreApplication::processEvents();
        return !m_window.m_cancelRequested;
    }
    void showMessage(const std::string& text, flintor::MessageKind kind) override {
        m_window.showMessage(fromStd(text), kind == flintor::MessageKind::Warning ? QMessageBox::Warning
                                                                                  : QMessageBox::Information);
    }
    void setResultsText(const std::string& text) override { m_window.txtResults->setPlainText(forDisplay(text)); }
    void setWarnings(const std::vector<std::string>& warnings) override {
        QStringList shown;
        for (const std::string& warning : warnings)
            shown << fromStd(warning);
        m_window.setWarnings(shown);
    }
    void setPartitionMap(const std::string& partitions, const std::string& toolTip) override {
        m_window.OrvoPartitions->setAccessibleDescription(QString()); // the bars describe the map now
        m_window.OrvoPartitions->setPartitions(fromStd(partitions));
        m_window.OrvoPartitions->setToolTip(fromStd(toolTip));
    }
    void focusFileList() override { m_window.File1->setFocus(); }
    void focusPsp() override { m_window.chkPSP->setFocus(); }

private:
    frmMain& m_window;
};

frmMain::frmMain(QWidget* parent, const QString& settingsFile) : QWidget(parent), SettingsFile(settingsFile) {
    beginStartUp();
    Q_INIT_RESOURCE(resources);
    std::future<FirstFramePictures> pictures = prepareFirstFrame(devicePixelRatioF() > 1);
    m_twipsPerPixel = TwipsPerPixelX(this);
    // The designed places suit a small sans-serif face with the box close to its caption; the
    // platform's default face would not fit "Size in Hex" or the note into their places.
    setFont(pointFont("Arial", 7.5));
    DropDownListAccessible::install();
    static const bool framesInstalled = (QAccessible::installFactory(&borderlessFrameAccessible), true);
    Q_UNUSED(framesInstalled);
    const auto px = [this](int twips) {
        return static_cast<int>(std::lrint(double(twips) / m_twipsPerPixel));
    };
    resize(px(kClientWidth), px(kClientHeight));
    createControls();
    const FirstFramePictures shown = pictures.get();
    imgLogo->setPixmap(QPixmap::fromImage(shown.logo));
    imgLogo->setCursor(QCursor(QPixmap::fromImage(shown.linkCursor), 6, 0));
    nameControls();
    createMenus();
    Form_Load();
    setTabOrder();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
    Dir1->setFocus();
}

// The comparison reads the window's workflow: it goes before the workflow does.
frmMain::~frmMain() {
    delete m_compareDialog;
}

void frmMain::createControls() {
    // The self-drawn controls draw their pictures first, at the sizes they are shown at and in the
    // window's font: nothing in that asks the accessibility bridge, so it runs while the session bus is
    // still being connected. Each control then moves into its container at the point where it used to
    // be made, so that the order of the controls (for drawing and for assistive technology) stays as it
    // was; the font is the same there, and the pictures stay.
    ::Form_Resize(m_layout, width() * m_twipsPerPixel, height() * m_twipsPerPixel);
    std::vector<std::function<GradientControl::Picture()>> headingJobs;
    for (int i = 0; i < 3; ++i) {
        lblOrvo[i] = new OrvoLabel(this);
        lblOrvo[i]->holdDrawing(true);
        lblOrvo[i]->setObjectName(QStringLiteral("lblOrvo%1").arg(i));
        lblOrvo[i]->resize(pixelsOf(m_layout.lblOrvo[i]).size());
        // The design values of the self-drawn controls, as the window's saved layout holds them.
        PropertyBag bag;
        bag.write("Caption", QString::fromUtf8(kStepCaptions[i]), QString());
        bag.write("NormalColour", 0x00C0E0FF, 0);
        bag.write("LabelFont", pointFont("Arial", 8.25, true), QFont());
        bag.write("TriColour", true, false);
        bag.write("DrawOuter", true, false);
        lblOrvo[i]->ReadProperties(bag);
        headingJobs.push_back(lblOrvo[i]->pictureJob());
        lblOrvo[i]->holdDrawing(false);
    }
    // The step headings, the largest pictures, are drawn by a worker while the other controls are made.
    std::future<std::vector<GradientControl::Picture>> headingPictures =
        OnWorker([jobs = std::move(headingJobs)] {
            std::vector<GradientControl::Picture> pictures;
            for (const auto& job : jobs)
                pictures.push_back(job ? job() : GradientControl::Picture{});
            return pictures;
        });
    OrvoPartitions = new ::OrvoPartitions(this);
    OrvoPartitions->resize(pixelsOf(m_layout.OrvoPartitions).size());
    PropertyBag mapBag;
    mapBag.write("Colours", QStringLiteral("6E6E6E"), QString());
    mapBag.write("Partitions", QStringLiteral("mtd partitions:0,1"), QString());
    mapBag.write("LabelFont", pointFont("Arial Narrow", 8.25), QFont());
    mapBag.write("FillParts", true, false);
    OrvoPartitions->ReadProperties(mapBag);
    cmdRead = new OrvoSimpleButton(this);
    cmdRead->resize(pixelsOf(kCmdRead).size());
    PropertyBag buttonBag;
    buttonBag.write("Caption", QStringLiteral("&Calculate MTD values"), QString());
    buttonBag.write("FocusColour", 0x00FFFFC0, 0);
    cmdRead->ReadProperties(buttonBag);

    Drive1 = new DriveList(this);
    Dir1 = new DirList(this);
    File1 = new FileList(this);

    fraFooter = new QFrame(this);
    fraFooter->setFrameShape(QFrame::NoFrame);
    lblOrvo[1]->setParent(fraFooter);
    lblOrvo[2]->setParent(fraFooter);

    static const char* const memCaptions[5] = {"2MB", "4MB", "Size in MB", "Size in Hex", "Don't know"};
    auto* memGroup = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        optMem[i] = new QRadioButton(memCaptions[i], fraFooter);
        memGroup->addButton(optMem[i], i);
    }
    connect(memGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            optMem_Click(id);
    });
    // The boxes are given their texts once they have the window's font: a text given to the
    // constructor is shaped in the application's font first, a face the boxes never show it in.
    txtMB = new QLineEdit(fraFooter);
    txtHex = new QLineEdit(fraFooter);
    txtMB->setText(QStringLiteral("4"));
    txtHex->setText(QStringLiteral("400000"));

    chkPSP = new QCheckBox(QStringLiteral("PSP"), fraFooter);
    chkAdam2 = new QCheckBox(QStringLiteral("Adam2"), fraFooter);
    // A change of value, by the user or by the other box's handler, runs the handler again.
    connect(chkPSP, &QCheckBox::toggled, this, &frmMain::chkPSP_Click);
    connect(chkAdam2, &QCheckBox::toggled, this, &frmMain::chkAdam2_Click);
    lblMTD5 = new QLabel(QStringLiteral("Optional MTD 5:"), fraFooter);
    lblMTD5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cboMTD5 = new QComboBox(fraFooter);
    cboMTD5->setEditable(false);

    lnSep = new LineControl(fraFooter);
    lnSep->setColour(toQColor(0x808080));

    OrvoPartitions->setParent(fraFooter);
    OrvoPartitions->setToolTip(QStringLiteral("MTD Partitions"));

    lblResults = new QLabel(QStringLiteral("Results:"), fraFooter);
    lblResults->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus = new QLabel(QStringLiteral("Status"), fraFooter);
    lblStatus->setAlignment(Qt::AlignRight | Qt::AlignTop);
    txtResults = new QPlainTextEdit(fraFooter);
    txtResults->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The values are for copying, not for editing: a stray key press must not change an address.
    txtResults->setReadOnly(true);
    txtResults->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    lblWarning = new QLabel(fraFooter);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    // The word "Warning:" and the frame mark it as well as the colour does.
    lblWarning->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF4C2; color: #000000; border: 1px solid #B08800; padding: 0 3px; }"));
    lblWarning->setTextFormat(Qt::PlainText);
    lblWarning->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblWarning->hide();

    fraOutputs = new QFrame(fraFooter);
    fraOutputs->setFrameShape(QFrame::NoFrame);
    cmdRead->setParent(fraOutputs);
    connect(cmdRead, &OrvoSimpleButton::Click, this, &frmMain::cmdRead_Click);

    static const char* const outCaptions[4] = {"Standard output", "PC Tool output", "FTP", "Telnet script"};
    auto* outGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        optOut[i] = new QRadioButton(outCaptions[i], fraOutputs);
        outGroup->addButton(optOut[i], i);
    }
    optOut[0]->setChecked(true);
    optOut[3]->setToolTip(QStringLiteral("For use with the Telnet scripter"));
    connect(outGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            optOut_Click(id);
    });
    chkIncFilename = new QCheckBox(QStringLiteral("Include filename"), fraOutputs);
    chkIncFilename->setChecked(true);
    chkIncFilename->setToolTip(QStringLiteral("Include the filename in the results"));
    cmdCompare = new QPushButton(QStringLiteral("Compare with &router..."), fraOutputs);
    cmdCompare->setObjectName(QStringLiteral("cmdCompare"));
    cmdCompare->setToolTip(QStringLiteral(
        "Compare the calculated values with the ones the router has now, from what it printed"));
    cmdCompare->setCursor(Qt::PointingHandCursor);
    // A link-like line fits where a full button would push the note into the logo; the frame shows the
    // focus, and the access key stays underlined as the whole caption is not.
    cmdCompare->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid transparent; padding: 0 1px; "
                                             "color: palette(link); text-align: left; "
                                             "background: transparent; }"
                                             "QPushButton:focus { border: 1px dotted palette(text); }"
                                             "QPushButton:pressed { color: palette(text); }"));
    connect(cmdCompare, &QPushButton::clicked, this, &frmMain::cmdCompare_Click);
    lblInfo = new QLabel(QStringLiteral("You may use the mtd values to the left to repair your router's partitions "
                                        "if they have become corrupted."),
                         fraOutputs);
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgLogo = new QLabel(fraOutputs);
    imgLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgLogo->setToolTip(QStringLiteral("Visit the Flintor community web site"));
    imgLogo->installEventFilter(this);

    // The controls take their places; the self-drawn ones already have pictures of these sizes.
    placeControls();

    auto* choiceStyle = new CompactChoiceStyle;
    choiceStyle->setParent(this);
    for (QWidget* choice : findChildren<QAbstractButton*>())
        if (qobject_cast<QRadioButton*>(choice) || qobject_cast<QCheckBox*>(choice))
            choice->setStyle(choiceStyle);

    connect(Dir1, &DirList::mouseUp, this, &frmMain::Dir1_MouseUp);
    connect(File1, &FileList::mouseUp, this, &frmMain::File1_MouseUp);

    // A heading changed since its job was made draws itself when it is shown.
    std::vector<GradientControl::Picture> headings = headingPictures.get();
    for (std::size_t i = 0; i < headings.size(); ++i)
        lblOrvo[i]->adoptPicture(std::move(headings[i]));
}

// Names for assistive technology where a control has no caption of its own, as Qt's widgets take
// theirs from their captions.
void frmMain::nameControls() {
    Drive1->setAccessibleName(QStringLiteral("Drives"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    File1->setAccessibleName(QStringLiteral("Files"));
    // A size box is named after the option it belongs to.
    txtMB->setAccessibleName(optMem[2]->text());
    txtHex->setAccessibleName(optMem[3]->text());
    cboMTD5->setAccessibleName(QStringLiteral("Optional MTD 5"));
    txtResults->setAccessibleName(QStringLiteral("Results"));
    lblStatus->setAccessibleDescription(QStringLiteral("Status"));
    imgLogo->setAccessibleName(QStringLiteral("Flintor community web site"));
    OrvoPartitions->setBarText(&partitionWords);
    // The placeholder bar is no layout: it is not read out as one.
    OrvoPartitions->setAccessibleDescription(QStringLiteral("Not calculated yet"));
    // The pop-up menus of the folder and file lists open from the keyboard too.
    Dir1->installEventFilter(this);
    File1->installEventFilter(this);
}

void frmMain::createMenus() {
    mnDir = new QMenu(QStringLiteral("Dir Menu"), this);
    mnCopyPath = mnDir->addAction(QStringLiteral("Copy path to clipboard"), this, &frmMain::mnCopyPath_Click);
    mnClipPath = mnDir->addAction(QStringLiteral("Use clipboard"), this, &frmMain::mnClipPath_Click);

    mnFile = new QMenu(QStringLiteral("File Menu"), this);
    mnListImg = mnFile->addAction(QStringLiteral("Display IMG and BIN files"), this, &frmMain::mnListImg_Click);
    mnListAll = mnFile->addAction(QStringLiteral("Display all file types"), this, &frmMain::mnListAll_Click);
    mnEditPattern = mnFile->addAction(QStringLiteral("Edit file type filter"), this, &frmMain::mnEditPattern_Click);
    mnCopyFile = mnFile->addAction(QStringLiteral("Copy filename to clipboard"), this, &frmMain::mnCopyFile_Click);
    mnListImg->setCheckable(true);
    mnListAll->setCheckable(true);
    mnListImg->setChecked(true);
}

void frmMain::setTabOrder() {
    QWidget* const order[] = {Dir1,           File1,      Drive1,    optMem[4], optMem[3], txtMB,
                              chkPSP,         optMem[2],  optMem[1], optMem[0], chkAdam2,  txtHex,
                              txtResults,     optOut[0],  optOut[1], optOut[2], optOut[3], cmdRead,
                              chkIncFilename, cmdCompare, cboMTD5};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void frmMain::Form_Load() {
    setWindowTitle(CaptionFor(FLINTOR_VERSION_MAJOR, FLINTOR_VERSION_MINOR, FLINTOR_VERSION_REVISION));

    AppFolder = settings::appFolder();
    if (SettingsFile.isEmpty())
        SettingsFile = settings::settingsFilePath(AppFolder);

    EnableDragDrop(this, [this](const QString& path) { GotADrop(path); });

    OrvoPartitions->setColours(QString::fromLatin1(kMapColours));

    for (const flintor::Mtd5Item& item : flintor::Mtd5Items())
        cboMTD5->addItem(fromStd(item.text), item.itemData);
    cboMTD5->setCurrentIndex(-1);
    lblMTD5->hide();
    cboMTD5->hide();
}

void frmMain::finishStartUp() {
    if (m_browser)
        return;
    // The browser starts on the process's current folder; the settings may name another one.
    m_browser = new FileBrowser(Drive1, Dir1, File1, this);
    if (settings::isOrdinaryFile(SettingsFile))
        ShowFolder(ReadSetting(kSettingsSection, kSettingsKey, SettingsFile));
    // The window has always shown the start folder in the folder list as if a horizontal scroll bar
    // took room at the list's bottom (the list was filled before it was first laid out); it keeps that
    // place rather than showing one more row above it.
    if (Dir1->isVisible() && Dir1->currentItem()) {
        Dir1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Dir1->scrollToItem(Dir1->currentItem());
        Dir1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    emit startUpFinished();
}

void frmMain::Form_Resize() {
    ::Form_Resize(m_layout, width() * m_twipsPerPixel, height() * m_twipsPerPixel);
    placeControls();
}

QRect frmMain::pixelsOf(const TwipRect& r) const {
    const double t = m_twipsPerPixel;
    const auto px = [t](int twips) { return static_cast<int>(std::lrint(twips / t)); };
    return QRect(px(r.left), px(r.top), px(r.width), px(r.height));
}

void frmMain::placeControls() {
    const auto place = [this](QWidget* widget, const TwipRect& r) { widget->setGeometry(pixelsOf(r)); };
    for (int i = 0; i < 3; ++i)
        place(lblOrvo[i], m_layout.lblOrvo[i]);
    place(Drive1, m_layout.Drive1);
    place(Dir1, m_layout.Dir1);
    place(File1, m_layout.File1);
    place(fraFooter, m_layout.fraFooter);
    for (int i = 0; i < 5; ++i)
        place(optMem[i], kOptMem[i]);
    place(txtMB, kTxtMB);
    place(txtHex, kTxtHex);
    place(chkPSP, kChkPSP);
    place(chkAdam2, kChkAdam2);
    place(lblMTD5, kLblMTD5);
    place(cboMTD5, kCboMTD5);
    lnSep->place(m_layout.lnSepX1, m_layout.lnSepY1, m_layout.lnSepX2, m_layout.lnSepY2, m_twipsPerPixel);
    place(OrvoPartitions, m_layout.OrvoPartitions);
    place(lblResults, m_layout.lblResults);
    place(lblStatus, m_layout.lblStatus);
    placeWarning(); // the results box, and the warning line in its lower part when there is one
    place(fraOutputs, m_layout.fraOutputs);
    place(cmdRead, kCmdRead);
    for (int i = 0; i < 4; ++i)
        place(optOut[i], kOptOut[i]);
    place(chkIncFilename, kChkIncFilename);
    place(cmdCompare, kCmdCompare);
    place(lblInfo, kLblInfo);
    place(imgLogo, kImgLogo);
}

void frmMain::setWarnings(const QStringList& warnings) {
    m_warnings = warnings;
    const QString full =
        warnings.isEmpty() ? QString() : QStringLiteral("Warning: ") + warnings.join(QLatin1Char('\n'));
    lblWarning->setToolTip(full);
    lblWarning->setAccessibleName(full);
    lblWarning->setVisible(!warnings.isEmpty());
    placeWarning();
}

// The warning line takes the bottom of the results box's place, so that the box and the line together
// keep the designed size; the line shows as much of the first warning as fits.
void frmMain::placeWarning() {
    const QRect box = pixelsOf(m_layout.txtResults);
    if (m_warnings.isEmpty()) {
        txtResults->setGeometry(box);
        return;
    }
    const int lineHeight = std::min(lblWarning->fontMetrics().height() + 4, box.height());
    const int gap = 2;
    txtResults->setGeometry(box.adjusted(0, 0, 0, -std::min(lineHeight + gap, box.height())));
    lblWarning->setGeometry(box.left(), box.bottom() + 1 - lineHeight, box.width(), lineHeight);
    const int room = std::max(0, box.width() - 8);
    lblWarning->setText(lblWarning->fontMetrics().elidedText(QStringLiteral("Warning: ") + m_warnings.first(),
                                                             Qt::ElideRight, room));
}

bool frmMain::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The first frame needs none of the volumes, the folder listings and the folder icons of the icon
    // theme, which cost more than the rest of it: they wait until the frame is on the screen.
    if (event->type() == QEvent::Paint && !m_browser)
        QMetaObject::invokeMethod(this, &frmMain::finishStartUp, Qt::QueuedConnection);
    return handled;
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_QueryUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    // Closed before start-up finished, the window still stores the folder it would have opened.
    finishStartUp();
    // A settings file that cannot be written is not reported; the next start finds the old value.
    WriteSetting(kSettingsSection, kSettingsKey, Dir1->path(), SettingsFile);
    if (m_routerAddressGiven)
        WriteSetting(kRouterSection, kRouterKey, *m_routerAddress, SettingsFile);
    if (m_routerLinkGiven) {
        WriteSetting(kRouterSection, kRouterLinkKey,
                     m_routerLink->serial ? QStringLiteral("serial") : QStringLiteral("network"),
                     SettingsFile);
        WriteSetting(kRouterSection, kSerialPortKey, m_routerLink->port, SettingsFile);
        WriteSetting(kRouterSection, kSerialSpeedKey, QString::number(m_routerLink->baudRate), SettingsFile);
    }
    DisableDragDrop(this);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // A search that is still running stops at its next chunk; closing is never refused.
    m_cancelRequested = true;
    if (m_compareDialog)
        m_compareDialog->close();
    Form_QueryUnload();
    event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Dir1 || watched == File1) && isMenuRequest(event)) {
        // The menu opens under the current entry, where the keyboard is.
        auto* list = static_cast<QAbstractItemView*>(watched);
        const QRect entry = list->visualRect(list->currentIndex());
        const QPoint at = entry.isValid() ? entry.center() : QPoint(0, 0);
        (watched == Dir1 ? mnDir : mnFile)->popup(list->viewport()->mapToGlobal(at));
        return true;
    }
    if (watched == imgLogo && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && imgLogo->rect().contains(mouse->position().toPoint()))
            imgLogo_Click();
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::showMessage(const QString& text, QMessageBox::Icon icon) {
    if (m_messageHandler) {
        m_messageHandler(text, icon);
        return;
    }
    QMessageBox box(icon, QString::fromLatin1(kTitle), text, QMessageBox::Ok, this);
    box.exec();
}

flintor::WorkflowInputs frmMain::inputs() const {
    flintor::WorkflowInputs in;
    in.folder = localBytes(File1->path());
    in.fileName = localBytes(File1->fileName());
    if (const int mem = checkedIndex(optMem.data(), 5); mem >= 0)
        in.memoryOption = mem;
    in.sizeInMb = txtMB->text().toStdString();
    in.sizeInHex = txtHex->text().toStdString();
    in.psp = chkPSP->isChecked();
    in.adam2 = chkAdam2->isChecked();
    in.mtd5Visible = !cboMTD5->isHidden();
    in.mtd5Text = cboMTD5->currentText().toStdString();
    if (cboMTD5->currentIndex() >= 0)
        in.mtd5ItemData = cboMTD5->currentData().toInt();
    if (const int out = checkedIndex(optOut.data(), 4); out >= 0)
        in.outputForm = out;
    in.includeFileName = chkIncFilename->isChecked();
    return in;
}

void frmMain::cmdRead_Click() {
    // Events are processed during a calculation, so the button can be pressed again while the
    // search runs; that press is ignored rather than starting a second run over the first.
    if (m_workflow.running())
        return;
    m_cancelRequested = false;
    finishStartUp();
    CalculationHost host(*this);
    const flintor::WorkflowInputs pressed = inputs();
    if (m_workflow.calculate(pressed, host) != flintor::WorkflowOutcome::Completed)
        return;
    // The output options stay live while the search runs: the results show in the form chosen by now.
    const flintor::WorkflowInputs now = inputs();
    if (now.outputForm != pressed.outputForm || now.includeFileName != pressed.includeFileName)
        showLastResult();
    emit calculationCompleted();
}

void frmMain::cmdCompare_Click() {
    if (!m_compareDialog)
        m_compareDialog = new CompareDialog(*this, this);
    m_compareDialog->show();
    m_compareDialog->raise();
    m_compareDialog->activateWindow();
}

CompareDialog* frmMain::compareDialog() const {
    return m_compareDialog;
}

void frmMain::watchChoices(QObject* receiver, std::function<void()> changed) {
    connect(this, &frmMain::calculationCompleted, receiver, changed);
    // An option that goes off has a partner that comes on: the change is told once.
    const auto whenOn = [changed](bool on) {
        if (on)
            changed();
    };
    for (QRadioButton* option : optOut)
        connect(option, &QRadioButton::toggled, receiver, whenOn);
    for (QRadioButton* option : optMem)
        connect(option, &QRadioButton::toggled, receiver, whenOn);
    for (QCheckBox* box : {chkPSP, chkAdam2})
        connect(box, &QCheckBox::toggled, receiver, changed);
    for (QLineEdit* edit : {txtMB, txtHex})
        connect(edit, &QLineEdit::textChanged, receiver, changed);
}

QString frmMain::outputFormName(int form) const {
    return form >= 0 && form < static_cast<int>(optOut.size())
               ? optOut[static_cast<std::size_t>(form)]->text()
               : QString();
}

void frmMain::useRouterSettings(std::optional<bool> adam2, std::optional<std::int64_t> flashSize) {
    // Through the boxes' own handlers, so that exactly one stays checked and the mtd5 list follows PSP.
    if (adam2)
        (*adam2 ? chkAdam2 : chkPSP)->setChecked(true);
    if (!flashSize)
        return;
    if (*flashSize == 0x200000) {
        optMem[0]->setChecked(true);
    } else if (*flashSize == 0x400000) {
        optMem[1]->setChecked(true);
    } else {
        txtHex->setText(QString::number(*flashSize, 16).toUpper());
        optMem[3]->setChecked(true);
    }
}

QString frmMain::routerAddress() const {
    if (!m_routerAddress) {
        const QString kept = settings::isOrdinaryFile(SettingsFile)
                                 ? ReadSetting(kRouterSection, kRouterKey, SettingsFile).trimmed()
                                 : QString();
        // A value damaged by hand or cut at the format's length would only be refused at the first read.
        const bool valid = !kept.isEmpty() && flintor::ParseRouterAddress(kept.toStdString()).address;
        m_routerAddress = valid ? kept : QString::fromLatin1(kDefaultRouterAddress);
    }
    return *m_routerAddress;
}

void frmMain::setRouterAddress(const QString& address) {
    if (routerAddress() == address)
        return;
    m_routerAddress = address;
    m_routerAddressGiven = true;
}

RouterLinkChoice frmMain::routerLink() const {
    if (!m_routerLink) {
        const bool kept = settings::isOrdinaryFile(SettingsFile);
        const auto read = [&](const char* key) {
            return kept ? ReadSetting(kRouterSection, key, SettingsFile).trimmed() : QString();
        };
        RouterLinkChoice choice;
        choice.serial = read(kRouterLinkKey) == QStringLiteral("serial");
        // A port or speed damaged by hand is offered as none, or as the usual speed.
        const QString port = read(kSerialPortKey);
        if (!port.isEmpty() && flintor::SerialDevicePathOf(port.toStdString()).error.empty())
            choice.port = port;
        const unsigned speed = read(kSerialSpeedKey).toUInt();
        if (std::find(flintor::kConsoleBaudRates.begin(), flintor::kConsoleBaudRates.end(), speed) !=
            flintor::kConsoleBaudRates.end())
            choice.baudRate = speed;
        m_routerLink = choice;
    }
    return *m_routerLink;
}

void frmMain::setRouterLink(const RouterLinkChoice& choice) {
    if (routerLink() == choice)
        return;
    m_routerLink = choice;
    m_routerLinkGiven = true;
}

void frmMain::showLastResult() {
    flintor::WorkflowInputs now = inputs();
    // The file name line names the file the values were calculated for, not whichever file the list
    // has selected since: values under another file's name would be flashed to the wrong router.
    if (const auto& last = m_workflow.lastCalculation())
        now.fileName = last->fileName;
    if (const std::optional<std::string> text = m_workflow.reformat(now))
        txtResults->setPlainText(forDisplay(*text));
}

QString frmMain::FormatOutput(const QString& resultText) const {
    const flintor::WorkflowInputs in = inputs();
    // Result texts break their lines with CR LF, whichever breaks the caller's text has.
    QString text = resultText;
    text.replace("\r\n", "\n").replace('\n', "\r\n");
    return fromStd(flintor::FormatOutput(text.toStdString(), in.outputForm, in.includeFileName, in.fileName));
}

void frmMain::chkAdam2_Click() {
    if (chkAdam2->isChecked())
        chkPSP->setChecked(false);
    else
        chkPSP->setChecked(true);
}

void frmMain::chkPSP_Click() {
    if (chkPSP->isChecked()) {
        chkAdam2->setChecked(false);
        lblMTD5->show();
        cboMTD5->show();
    } else {
        chkAdam2->setChecked(true);
        lblMTD5->hide();
        cboMTD5->hide();
    }
}

void frmMain::optMem_Click(int index) {
    txtMB->setEnabled(index == 2);
    txtHex->setEnabled(index == 3);
}

void frmMain::optOut_Click(int) { showLastResult(); }

void frmMain::imgLogo_Click() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kCommunityUrl))); }

void frmMain::ShowFolder(const QString& path) {
    finishStartUp();
    m_browser->ShowFolder(path);
}

void frmMain::GotADrop(const QString& path) {
    const auto report = [this](int number, const QString& description) {
        showMessage(QStringLiteral("Drag N Drop Error %1 - %2").arg(number).arg(description), QMessageBox::Warning);
    };
    try {
        // No file name holds a NUL; the system would take the path as the shorter one before it.
        if (path.contains(QChar(0)))
            throw std::system_error(EINVAL, std::generic_category());
        const std::string bytes = localBytes(path);
        const QString name = decodeLocalName(QByteArray::fromStdString(flintor::FileNameOf(bytes)));
        const QString folder = decodeLocalName(QByteArray::fromStdString(flintor::FolderOf(bytes)));
        ShowFolder(folder);
        if (name.isEmpty())
            return;
        // Names that differ only in case are different files here: the entry spelled exactly as
        // dropped is the dropped file; another spelling is taken only when that one is not listed.
        int match = -1;
        for (int i = 0; i < File1->ListCount(); ++i) {
            const QString entry = File1->List(i);
            if (entry == name) {
                match = i;
                break;
            }
            if (match < 0 && entry.compare(name, Qt::CaseInsensitive) == 0)
                match = i;
        }
        for (int i = 0; i < File1->ListCount(); ++i)
            File1->setSelected(i, i == match);
    } catch (const std::system_error& error) {
        report(error.code().value(), QString::fromLocal8Bit(error.code().message()));
    } catch (const std::bad_alloc&) {
        report(ENOMEM, QString::fromLocal8Bit(std::generic_category().message(ENOMEM)));
    } catch (const std::exception& error) {
        // A failure without a number of its own.
        report(1, QString::fromUtf8(error.what()));
    } catch (...) {
        report(1, QStringLiteral("Unknown error"));
    }
}

void frmMain::Dir1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint position) {
    if (button == Qt::RightButton)
        mnDir->popup(Dir1->mapToGlobal(position));
}

void frmMain::File1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint position) {
    if (button == Qt::RightButton)
        mnFile->popup(File1->mapToGlobal(position));
}

void frmMain::mnCopyPath_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(Dir1->path());
    showMessage(QStringLiteral("The selected path has been copied to the clipboard."), QMessageBox::Information);
}

void frmMain::mnClipPath_Click() { ShowFolder(QGuiApplication::clipboard()->text()); }

void frmMain::mnCopyFile_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(File1->fileName());
    showMessage(QStringLiteral("The selected filename has been copied to the clipboard."), QMessageBox::Information);
}

void frmMain::mnListImg_Click() {
    mnListAll->setChecked(false);
    mnListImg->setChecked(true);
    File1->setPattern(QString::fromLatin1(FileList::kImagePattern));
}

void frmMain::mnListAll_Click() {
    mnListAll->setChecked(true);
    mnListImg->setChecked(false);
    File1->setPattern(QStringLiteral("*.*"));
}

void frmMain::mnEditPattern_Click() {
    const QString prompt = QStringLiteral("File type filter:");
    const QString title = QStringLiteral("Edit the file type filter");
    std::optional<QString> answer;
    if (m_inputHandler) {
        answer = m_inputHandler(prompt, title, File1->pattern());
    } else {
        bool ok = false;
        const QString text = QInputDialog::getText(this, title, prompt, QLineEdit::Normal, File1->pattern(), &ok);
        if (ok)
            answer = text;
    }
    if (!answer || answer->isEmpty())
        return;
    mnListAll->setChecked(false);
    mnListImg->setChecked(false);
    const QString lowered = answer->toLower();
    if (lowered == QStringLiteral("*.*"))
        mnListAll->setChecked(true);
    if (lowered == QString::fromLatin1(FileList::kImagePattern))
        mnListImg->setChecked(true);
    File1->setPattern(*answer);
}
