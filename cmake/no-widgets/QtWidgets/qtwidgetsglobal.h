// Placed ahead of Qt's own headers for the layers below the widgets (imaging, desktop, state):
// any Qt Widgets header included there stops the build here.
#error "Qt Widgets is not available in this layer: only the widget folders may use it"
