// Writes the program's icon as PNG files for the desktop's icon theme:
//   write_icons DIR SIZE...   ->  DIR/<SIZE>x<SIZE>/apps/sentune.png
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "resources/icon.h"

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // no display needed at build time
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIR SIZE...\n", argv[0]);
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString dir =
        QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (size <= 0 || !QDir().mkpath(dir) ||
        !resources::appIconPixmap(size).save(dir + QStringLiteral("/sentune.png"))) {
      std::fprintf(stderr, "%s: cannot write the %s pixel icon into %s\n", argv[0], argv[i],
                   argv[1]);
      return 1;
    }
  }
  return 0;
}
