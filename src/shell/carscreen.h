#pragma once

#include "carscreen/controls.h"

#include <QHash>
#include <QString>

#include <initializer_list>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QSize;
class QWidget;

namespace vantrel
{

// Builds a large screen's client area (light grey, the window font) with the shared
// controls on it.
void buildCarScreenCommon(QMainWindow* window, CarScreenCommon& c);

// Sizes a window so that its client area, under the menu bar, has the given size.
void fitClientArea(QMainWindow* window, QWidget* client, const QSize& size);
// Both large screens: a client area of 11070 x 7125 twips under their menu bars.
void fitCarScreen(QMainWindow* window, QWidget* client);

// The order in which the keyboard focus moves on Tab.
void setTabOrder(std::initializer_list<QWidget*> order);

// A menu of the bar, and an item of a menu (a separator where it has no caption), each
// with its name.
QMenu* addMenu(QMenuBar* bar, const char* name, const char* caption);
QAction* addItem(QMenu* menu, const char* name, const char* caption, bool enabled = true);

// A single-line text box with the given name.
QLineEdit* makeLineEdit(QWidget* parent, const char* name);

} // namespace vantrel
