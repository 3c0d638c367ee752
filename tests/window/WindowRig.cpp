#include "WindowRig.h"

#include "FrameProtocol.h"

#include <QTabWidget>
#include <QTest>

std::function<void(const QString&)> WindowRig::DataHome::prepare;

WindowRig::DataHome::DataHome()
{
    qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    if (prepare)
        prepare(folder.path());
}

WindowRig::WindowRig() = default;

QString WindowRig::Text(const char* name) const
{
    QWidget* widget = Find<QWidget>(name);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    qFatal("%s has no text", name);
    return QString();
}

void WindowRig::SetText(const char* name, const QString& text)
{
    Find<QLineEdit>(name)->setText(text);
}

void WindowRig::Click(const char* button)
{
    Find<QAbstractButton>(button)->click();
}

void WindowRig::Open(const char* page) const
{
    Find<QTabWidget>("tabWidget")->setCurrentWidget(Find<QWidget>(page));
}

void WindowRig::MakeTabs() const
{
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    const int front = tabs->currentIndex();
    for (int tab = 0; tab < tabs->count(); ++tab)
        tabs->setCurrentIndex(tab);
    tabs->setCurrentIndex(front);
}

bool WindowRig::Connect()
{
    return ConnectTo(controller.Port()) && controller.WaitForClient();
}

bool WindowRig::ConnectTo(quint16 port)
{
    SetText("m_pLineEdit_ip", QStringLiteral("127.0.0.1"));
    SetText("m_pLineEdit_port", QString::number(port));
    Click("m_pPushButton_connect");
    return WaitForState(QCoreApplication::translate("TcpSocket", "connected!")); // in the language installed
}

bool WindowRig::WaitForState(const QString& state, int timeoutMs)
{
    return QTest::qWaitFor([&] { return Text("m_pLabel_state") == state; }, timeoutMs);
}

QByteArray WindowRig::Wire()
{
    QMetaObject::invokeMethod(&window, "SendTimeout", Qt::QueuedConnection);
    return controller.TakeUntil(QByteArray(FrameProtocol::kFixedDoseFrame, FrameProtocol::kFixedDoseFrameLength));
}

void WindowRig::Reading(int id, int count)
{
    QMetaObject::invokeMethod(&window, "GetRealTimeDoseCount", Q_ARG(int, id), Q_ARG(int, count));
}

void WindowRig::Readings(int id, int count, int times)
{
    for (int i = 0; i < times; ++i)
        Reading(id, count);
}

void WindowRig::Tick()
{
    QMetaObject::invokeMethod(&window, "TableTimeout");
}
