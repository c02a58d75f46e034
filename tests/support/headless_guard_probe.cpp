// Must not compile: a headless file that includes a Widgets header by its module path.
#include <QtWidgets/QLabel>
