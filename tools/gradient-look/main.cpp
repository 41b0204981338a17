// Draws the Calculate button in each of its looks and the three step headings, with the main window's
// properties, and writes them as PNG files into the folder given as argument, for a person to look at
// (the gradient tests hold the pixel rules of these looks). Offscreen unless QT_QPA_PLATFORM says else.
//   gradient-look /tmp/flintor-look
#include "OrvoLabel.h"
#include "OrvoSimpleButton.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

namespace {

class Pictures {
public:
    explicit Pictures(const QDir& folder) : m_folder(folder) {}

    void save(const QImage& image, const QString& name) {
        if (!image.save(m_folder.filePath(name + ".png"), "PNG")) {
            fail("cannot write " + m_folder.filePath(name + ".png"));
        }
    }
    void fail(const QString& why) {
        std::fprintf(stderr, "gradient-look: %s\n", qPrintable(why));
        m_failed = true;
    }
    bool failed() const { return m_failed; }

private:
    QDir m_folder;
    bool m_failed = false;
};

void drawButton(Pictures& pictures) {
    QWidget window;
    window.setGeometry(100, 100, 300, 60);
    auto* other = new QLineEdit(&window); // holds the focus, as the folder list does in the window
    other->setGeometry(160, 10, 100, 20);
    auto* button = new OrvoSimpleButton(&window);
    button->InitProperties();
    button->setCaption("&Calculate MTD values");
    button->setFocusColour(0xFFFFC0);
    button->setGeometry(10, 10, 137, 25);
    button->setPointerSource([&] { return button->mapToGlobal(QPoint(60, 12)); });
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) {
        pictures.fail("the window did not become active");
        return;
    }
    other->setFocus();

    // A picture of a look the button did not take would mislead: it is left out.
    const auto shoot = [&](OrvoSimpleButton::Look look, const QString& name) {
        if (button->look() != look) {
            pictures.fail("the button did not take the " + name + " look");
            return;
        }
        pictures.save(button->image(), "button-" + name);
    };
    using Look = OrvoSimpleButton::Look;
    shoot(Look::Normal, "normal");
    QTest::mouseMove(button, QPoint(60, 12));
    shoot(Look::Hover, "hover");
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 12));
    shoot(Look::Pressed, "pressed");
    // Released outside, the clicked button keeps the focus but shows the normal look; the focus look
    // comes with the next focus change.
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 12));
    button->clearFocus();
    button->setFocus();
    shoot(Look::Focus, "focus");
    button->setEnabled(false);
    shoot(Look::Disabled, "disabled");
}

void drawHeadings(Pictures& pictures) {
    const char* captions[] = {
        "1) Select a firmware image file:", "2) Select the size of you router's Flash ROM size:",
        "3) Select you router's bootloader type:"};
    QFont arial("Arial");
    arial.setPointSizeF(8.25);
    arial.setBold(true);
    int index = 0;
    for (const char* caption : captions) {
        OrvoLabel label;
        label.InitProperties();
        label.setCaption(caption);
        label.setNormalColour(0xC0E0FF);
        label.setLabelFont(arial);
        label.setTriColour(true);
        label.setDrawOuter(true);
        label.resize(537, 17);
        label.show();
        pictures.save(label.image(), QString("heading-%1").arg(index++));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gradient-look FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "gradient-look: cannot make the folder %s\n", argv[1]);
        return 1;
    }
    Pictures pictures(folder);
    drawButton(pictures);
    drawHeadings(pictures);
    return pictures.failed() ? 1 : 0;
}
