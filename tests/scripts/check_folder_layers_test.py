"""The folder layer check on small trees: what it must refuse and what it must let pass."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-folder-layers.py")


def run_check(files):
    """Writes {path: text} into a fresh tree and runs the check on it: (exit status, output)."""
    with tempfile.TemporaryDirectory() as tree:
        for path, text in files.items():
            os.makedirs(os.path.join(tree, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(tree, path), "w", encoding="utf-8") as out:
                out.write(text)
        run = subprocess.run([sys.executable, SCRIPT, tree], capture_output=True, text=True, check=False)
        return run.returncode, run.stdout + run.stderr


class FolderLayerCheck(unittest.TestCase):
    def test_includes_downward_and_within_a_layer_pass(self):
        status, output = run_check({
            "platform/lock.h": "#pragma once\n",
            "framework/core/param.h": '#include "platform/lock.h"\n#include <vector>\n',
            "webview/web_view.h": '#include "framework/core/param.h"\n#include "webview/webview2/api.h"\n',
            "webview/webview2/api.h": "#pragma once\n",
            "framework/plugin.h": '#include "webview/web_view.h"\n#include "vst3/entry.h"\n',
            "framework/vst3/binding.cpp": '#include "framework/plugin.h"\n#include "pluginterfaces/base/funknown.h"\n',
            "vst3/entry.h": "#pragma once\n",
            "rack/tarnwell.h": '#include "framework/vst3/binding.h"\n#include "tempo/block.h"\n#include "product/version.h"\n',
            "product/vendor.h": "#pragma once\n",
            "tempo/block.h": "#pragma once\n",
            "tests/rack/tarnwell_test.cpp": '#include "rack/tarnwell.h"\n#include "fixture.h"\n',
            "tests/rack/fixture.h": '#include "webview/fake.h"\n',
            "tests/webview/fake.h": "#pragma once\n",
            "signals/drum_loop.h": '#include "framework/core/param.h"\n#include <vector>\n',
            "demo/tempo_demo.cpp": '#include "signals/drum_loop.h"\n#include "tempo/block.h"\n',
            "bench/tempo_bench.cpp": '#include "signals/drum_loop.h"\n',
        })
        self.assertEqual(status, 0, output)
        self.assertIn("folder layers hold", output)

    def test_an_include_of_a_higher_layer_fails(self):
        # Each tree holds one upward include; the message names the file, the line and both layers.
        cases = [
            ({"webview/web_view.h": '#include "framework/plugin.h"\n', "framework/plugin.h": "\n"},
             "webview/web_view.h:1 includes framework/plugin.h: webview/ (web view) may not include framework/"),
            ({"framework/core/param.cpp": '\n#include "../../webview/page.h"\n', "webview/page.h": "\n"},
             "framework/core/param.cpp:2"),
            ({"platform/posix/timer.cpp": '#include "framework/core/ring.h"\n', "framework/core/ring.h": "\n"},
             "platform/posix/ (platform) may not include framework/core/"),
            ({"rack/dsp/biquad.h": '#include "bench/signal.h"\n', "bench/signal.h": "\n"}, "rack/dsp/biquad.h:1"),
            # The signals stand low, so that plug-in folders never reach up for them.
            ({"signals/drum_loop.h": '#include "tempo/block.h"\n', "tempo/block.h": "\n",
              "demo/tempo_demo.cpp": '#include "signals/drum_loop.h"\n#include "tempo/block.h"\n'},
             "signals/drum_loop.h:1 includes tempo/block.h: signals/ (framework core and signals) may not include"),
            # Found through a folder's own include path: the only file of that name.
            ({"framework/core/text.h": '#include "module_editor.h"\n', "tests/browser/module_editor.h": "\n"},
             "framework/core/text.h:1 includes module_editor.h"),
        ]
        for files, expected in cases:
            with self.subTest(expected=expected):
                status, output = run_check(files)
                self.assertEqual(status, 1, output)
                self.assertIn(expected, output)
        # The demos stand at the top: they may use both the signals and the plug-ins.
        self.assertNotIn("demo/tempo_demo.cpp", run_check(cases[4][0])[1])

    def test_folders_that_include_each_other_fail_in_one_layer_too(self):
        status, output = run_check({
            "rack/tarnwell.cpp": '#include "tempo/block.h"\n',
            "tempo/block.h": '#include "duck/ducker.h"\n',
            "duck/ducker.h": '#include "rack/meter.h"\n',
            "rack/meter.h": "\n",
            "rack/dsp/engine.h": "\n",
        })
        self.assertEqual(status, 1, output)
        self.assertIn("folder loop between duck/, rack/, tempo/", output)
        for edge in ["rack/tarnwell.cpp:1 includes tempo/block.h", "tempo/block.h:1 includes duck/ducker.h",
                     "duck/ducker.h:1 includes rack/meter.h"]:
            self.assertIn(edge, output)
        self.assertNotIn("rack/dsp", output)

        # A folder and its subfolder are two folders.
        status, output = run_check({"framework/plugin.h": '#include "framework/vst3/binding.h"\n',
                                    "framework/vst3/binding.h": '#include "framework/plugin.h"\n'})
        self.assertEqual(status, 1, output)
        self.assertIn("folder loop between framework/, framework/vst3/", output)

    def test_a_folder_in_no_layer_fails(self):
        status, output = run_check({"samples/take.cpp": "\n", "platform/lock.h": "\n"})
        self.assertEqual(status, 1, output)
        self.assertIn("samples/ is in no layer", output)

    def test_a_generated_header_counts_for_the_folder_it_is_named_after(self):
        status, output = run_check({"framework/core/text.h": '#include "tempo/version.h"\n',
                                    "tempo/block.h": "\n"})
        self.assertEqual(status, 1, output)
        self.assertIn("framework/core/text.h:1 includes tempo/version.h", output)

    def test_a_missing_tree_is_refused(self):
        run = subprocess.run([sys.executable, SCRIPT, "/nonexistent/tree"], capture_output=True, text=True, check=False)
        self.assertEqual(run.returncode, 2)
        self.assertIn("no such folder", run.stderr)


if __name__ == "__main__":
    unittest.main()
