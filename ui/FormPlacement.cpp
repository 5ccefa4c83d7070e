// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FormPlacement.h"

#include "settings/TProgramSettings.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

namespace {

enum TFormStyle : int { fsNormal = 0, fsMDIChild = 1, fsMDIForm = 2, fsStayOnTop = 3 };

QString FormClass(const QWidget* AForm, const QString& AFormClass)
{
  return AFormClass.isEmpty() ? QString::fromLatin1(AForm->metaObject()->className()) : AFormClass;
}

int StateNumber(Qt::WindowStates AState)
{
  if (AState & Qt::WindowMinimized)
    return 1;
  return AState & (Qt::WindowMaximized | Qt::WindowFullScreen) ? 2 : 0;
}

int FormStyle(const QWidget* AForm)
{
  if (qobject_cast<const QMdiSubWindow*>(AForm->parentWidget()))
    return fsMDIChild;
  if (const auto* window = qobject_cast<const QMainWindow*>(AForm);
      window && qobject_cast<QMdiArea*>(window->centralWidget()))
    return fsMDIForm;
  return AForm->windowFlags() & Qt::WindowStaysOnTopHint ? fsStayOnTop : fsNormal;
}

TFormPlacement CurrentPlacement(const QWidget* AForm)
{
  // Left and Top are the frame's position (as move() takes it), Width and Height the window's
  // own size (as resize() takes it); a window that is not shown normally gives its normal bounds.
  const int state = StateNumber(AForm->windowState());
  const QPoint frame = AForm->geometry().topLeft() - AForm->frameGeometry().topLeft();
  const QRect bounds = state == 0 ? QRect(AForm->pos(), AForm->size())
                                  : QRect(AForm->normalGeometry().topLeft() - frame, AForm->normalGeometry().size());
  TFormPlacement placement;
  placement.Left = bounds.left();
  placement.Top = bounds.top();
  placement.Width = bounds.width();
  placement.Height = bounds.height();
  placement.WindowState = state;
  placement.FormStyle = FormStyle(AForm);
  placement.Monitor = qMax(0, int(QGuiApplication::screens().indexOf(AForm->screen())));
  return placement;
}

void ApplyStayOnTop(QWidget* AForm, bool AOnTop)
{
  if (bool(AForm->windowFlags() & Qt::WindowStaysOnTopHint) == AOnTop)
    return;
  const bool visible = AForm->isVisible();
  AForm->setWindowFlag(Qt::WindowStaysOnTopHint, AOnTop); // hides a shown window
  if (visible)
    AForm->show();
}

} // namespace

void SaveForm(TProgramSettings& ASettings, QWidget* AForm, const QString& AFormClass)
{
  ASettings.SaveFormPlacement(FormClass(AForm, AFormClass), CurrentPlacement(AForm));
}

void LoadForm(TProgramSettings& ASettings, QWidget* AForm, const QString& AFormClass)
{
  TFormPlacement placement = CurrentPlacement(AForm);
  if (!ASettings.LoadFormPlacement(FormClass(AForm, AFormClass), placement))
    return;
  // Placed by the program from here on, not by the window manager.
  AForm->setAttribute(Qt::WA_Moved);
  Qt::WindowStates state = AForm->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
  AForm->setWindowState(state);
  AForm->move(placement.Left, placement.Top);
  AForm->resize(placement.Width, placement.Height);
  if (placement.FormStyle == fsStayOnTop || placement.FormStyle == fsNormal)
    ApplyStayOnTop(AForm, placement.FormStyle == fsStayOnTop);
  if (placement.WindowState != 0) {
    // A maximized window opens on the display it was saved on, when that display is still there.
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (placement.Monitor > 0 && placement.Monitor < screens.size())
      AForm->move(screens.at(placement.Monitor)->geometry().topLeft());
  }
  // A window is never restored minimized.
  if (placement.WindowState == 2)
    state |= Qt::WindowMaximized;
  AForm->setWindowState(state);
}
