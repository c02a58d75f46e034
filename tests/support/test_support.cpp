#include "support/test_support.h"

#include "base/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace kestrix::testing {

namespace {
// Every port names a device that does not exist unless a test maps a board to it, so scans
// never touch the machine's own serial ports.
QString unmappedPorts()
{
    QString text = QStringLiteral("\n[Ports]\n");
    for (int port = 1; port <= PortCount; ++port)
        text += QStringLiteral("COM%1=/nonexistent/kestrix-test-port-%1\n").arg(port);
    return text;
}
} // namespace

RecordingSleeper &suiteSleeper()
{
    static RecordingSleeper sleeper;
    return sleeper;
}

ScratchDataDir::ScratchDataDir() : m_previous(dataDir())
{
    const QDir shipped(shippedDataDir());
    for (const QString &name : shipped.entryList({"*.ini", "*.txt", "*.bmp", "*.png"}, QDir::Files)) {
        if (name.compare("config.ini", Qt::CaseInsensitive) != 0)
            QFile::copy(shipped.filePath(name), m_dir.filePath(name));
    }
    setDataDir(m_dir.path());
    writeConfig(QString());
    LoadLanguage("english");
}

ScratchDataDir::~ScratchDataDir()
{
    setDataDir(m_previous);
}

void ScratchDataDir::writeConfig(const QString &text) const
{
    QFile file(m_dir.filePath("config.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((text + unmappedPorts()).toUtf8());
}

QString ScratchDataDir::readConfig() const
{
    QFile file(m_dir.filePath("config.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

std::vector<std::string> received(const sim::BoardSim &board, size_t expected)
{
    board.waitForFrames(expected, Timeout::BoardFrames);
    return board.frameTexts();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

std::unique_ptr<sim::BoardSim> startBoardOn(int port, int speed)
{
    auto board = std::make_unique<sim::BoardSim>();
    std::string error;
    if (!board->start(&error)) {
        ADD_FAILURE() << "simulated board did not start: " << error;
        return nullptr;
    }
    board->setLineSpeed(speed);
    mapPortToDevice(port, QString::fromStdString(board->devicePath()));
    return board;
}

} // namespace kestrix::testing
