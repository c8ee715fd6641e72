// A small Qt widget form for the accessibility tests: a line edit, a button
// that copies the edit's text into a label and prints it, and the label.
// Usage: qt_form TITLE [EXTRA_BUTTONS]
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("qt form"));
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("nameEdit"));
    auto* button = new QPushButton(QStringLiteral("Submit"));
    button->setObjectName(QStringLiteral("submitButton"));
    auto* result = new QLabel(QStringLiteral("none"));
    layout->addWidget(edit);
    layout->addWidget(button);
    layout->addWidget(result);
    QObject::connect(button, &QPushButton::clicked, [=] {
        result->setText(QStringLiteral("got:") + edit->text());
        std::printf("clicked:%s\n", edit->text().toUtf8().constData());
        std::fflush(stdout);
    });
    const int extra = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    if (extra > 0) {
        // Many controls for the search benchmark, in a scrolled grid.
        auto* grid = new QWidget;
        auto* gridLayout = new QGridLayout(grid);
        for (int i = 0; i < extra; ++i)
            gridLayout->addWidget(new QPushButton(QStringLiteral("b%1").arg(i)), i / 20, i % 20);
        auto* scroll = new QScrollArea;
        scroll->setWidget(grid);
        layout->addWidget(scroll);
    }
    window.show();
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
