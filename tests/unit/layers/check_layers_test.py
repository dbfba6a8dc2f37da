#!/usr/bin/env python3
"""scripts/check-layers against small trees laid out under the real layer table: it must refuse
what points up a layer, and a check that refused nothing would pass every tree unnoticed."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "scripts", "check-layers")
TABLE = os.path.join(ROOT, "docs", "architecture.md")

# (what the case shows, files of the tree, exit status, a text the output must hold)
CASES = [
    ("downward includes pass", {"ui/panel.cpp": '#include "device/row.h"\n#include "link/crc.h"\n',
                                "device/row.h": '#include "link/crc.h"\n', "link/crc.h": ""}, 0, "0 against"),
    ("an upward include fails", {"device/row.cpp": '#include "device/row.h"\n#include "ui/panel.h"\n',
                                 "ui/panel.h": ""}, 1, "device/row.cpp:2: device/ includes ui/panel.h"),
    ("siblings of a layer stay apart", {"archives/reading.cpp": '#include "files/report.h"\n'}, 1,
     "archives/ may not include files/"),
    ("the simulator stays below the readers", {"sim/model.cpp": '#include "archives/reading.h"\n'}, 1,
     "sim/ may not include archives/"),
    ("a folder without a row fails", {"gadgets/thing.cpp": ""}, 1, "gadgets/ has no row"),
    ("a widget header in the core fails", {"files/report.cpp": "#include <QWidget>\n"}, 1,
     "<QWidget> of QtWidgets"),
    ("a serial port header outside link/ fails", {"app/form.cpp": "#include <QtSerialPort/QSerialPort>\n"}, 1,
     "of QtSerialPort"),
    ("commented-out includes are not includes", {"device/row.cpp": '// #include "ui/panel.h"\n'}, 0, "0 against"),
    ("platform headers in a branch of a named file pass",
     {"link/tmscomm.cpp": "#ifdef Q_OS_UNIX\n#include <sys/ioctl.h>\n#include <termios.h>\n#endif\n"}, 0, "0 against"),
    ("a platform header outside a branch fails", {"link/tmscomm.cpp": "#include <QFileInfo>\n#include <termios.h>\n"},
     1, "link/tmscomm.cpp:2: <termios.h> is platform code outside a platform branch"),
    ("a branch that has ended is no shelter",
     {"link/tmscomm.cpp": "#ifdef Q_OS_UNIX\n#include <termios.h>\n#endif\n#include <sys/ioctl.h>\n"}, 1,
     "link/tmscomm.cpp:4: <sys/ioctl.h>"),
    ("platform code in a file the table does not name fails",
     {"link/serial.cpp": "#ifdef Q_OS_WIN\n#include <windows.h>\n#endif\n"}, 1, "does not name"),
    ("a branch on the platform is platform code too", {"device/row.cpp": "#ifdef Q_OS_WIN\nint a;\n#endif\n"}, 1,
     "device/row.cpp: platform code in a file the platform table does not name"),
    ("a named file without platform code fails", {"link/portmap.cpp": "int x;\n"}, 1, "holds no platform code"),
    ("the simulator has no portable path", {"sim/simulator.cpp": "#include <pty.h>\n#include <sys/socket.h>\n"}, 0,
     "0 against"),
    ("tests are not held to it", {"tests/support/pty.cpp": "#include <pty.h>\n"}, 0, "0 against"),
]


class CheckLayers(unittest.TestCase):
    def run_on(self, files, table=True):
        with tempfile.TemporaryDirectory() as root:
            qt = os.path.join(root, "qt")
            for module, header in [("QtWidgets", "QWidget"), ("QtSerialPort", "QSerialPort")]:
                os.makedirs(os.path.join(qt, module))
                open(os.path.join(qt, module, header), "w").close()
            tree = os.path.join(root, "tree")
            os.makedirs(os.path.join(tree, "docs"))
            if table:
                shutil.copy(TABLE, os.path.join(tree, "docs"))
            for path, text in files.items():
                os.makedirs(os.path.join(tree, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(tree, path), "w") as f:
                    f.write(text)
            run = subprocess.run([sys.executable, SCRIPT, "--root", tree, "--qt-headers", qt],
                                 capture_output=True, text=True)
            return run.returncode, run.stdout + run.stderr

    def test_cases(self):
        for what, files, status, text in CASES:
            with self.subTest(what):
                code, output = self.run_on(files)
                self.assertEqual(code, status, output)
                self.assertIn(text, output)

    def test_a_missing_table_is_no_pass(self):
        code, output = self.run_on({"device/row.cpp": ""}, table=False)
        self.assertEqual(code, 2, output)


if __name__ == "__main__":
    unittest.main()
