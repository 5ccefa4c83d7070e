// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPrivateBus.h"

#include "tests/support/StopProcess.h"

#include <QFile>

TPrivateBus::~TPrivateBus()
{
  Stop();
}

QString TPrivateBus::MissingDaemon()
{
  if (!QFile::exists(QStringLiteral("/usr/bin/dbus-daemon")))
    return QStringLiteral("dbus-daemon is not installed (Debian package dbus)");
  return {};
}

bool TPrivateBus::Start(QString& AError)
{
  if (!FFolder.isValid()) {
    AError = QStringLiteral("No temporary folder");
    return false;
  }
  const QString config = FFolder.filePath(QStringLiteral("bus.conf"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) {
    AError = file.errorString();
    return false;
  }
  file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                            "<busconfig>\n"
                            "  <type>session</type>\n"
                            "  <listen>unix:dir=%1</listen>\n"
                            "  <auth>EXTERNAL</auth>\n"
                            "  <policy context=\"default\">\n"
                            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                            "    <allow eavesdrop=\"true\"/>\n"
                            "    <allow own=\"*\"/>\n"
                            "  </policy>\n"
                            "</busconfig>\n")
                 .arg(FFolder.path())
                 .toUtf8());
  file.close();

  FDaemon.start(
      QStringLiteral("/usr/bin/dbus-daemon"),
      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
  if (!FDaemon.waitForStarted()) {
    AError = QStringLiteral("dbus-daemon did not start: ") + FDaemon.errorString();
    return false;
  }
  while (!FDaemon.canReadLine() && FDaemon.waitForReadyRead(10000)) {
  }
  FAddress = QString::fromUtf8(FDaemon.readLine().trimmed());
  if (FAddress.isEmpty()) {
    AError = QStringLiteral("dbus-daemon printed no address");
    return false;
  }
  return true;
}

void TPrivateBus::Stop()
{
  StopProcess(FDaemon);
}

QString TPrivateBus::DeadAddress() const
{
  return QStringLiteral("unix:path=") + FFolder.filePath(QStringLiteral("absent"));
}
