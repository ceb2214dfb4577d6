"""The compiled help file holds every topic, picture and stylesheet, and its contents and index
lead only to pages that are in it.

Usage: CompiledHelpTest.py Tovra.chm HELP_SOURCE_DIR WORK_DIR
"""

import pathlib
import re
import shutil
import subprocess
import sys
import unittest

CHM, SOURCES, WORK = (pathlib.Path(arg) for arg in sys.argv[1:4])

# What a user looks for first; each must be a topic of the contents, whatever else is added.
REQUIRED_TOPICS = {
    "getting-started.htm", "details-tab.htm", "connection-tab.htm", "advanced-tab.htm",
    "template.htm", "echo-sites.htm", "log-lines.htm", "log-file.htm", "upload-problems.htm",
    "installing.htm", "autostart.htm", "uninstalling.htm", "tray.htm",
}


def chmls(*args):
    return subprocess.run(["chmls", *args], check=True, capture_output=True, text=True).stdout


def sitemap_targets(path):
    """The pages a contents or index file leads to, without their anchors."""
    text = path.read_text(encoding="latin-1")
    return {target.split("#")[0] for target in re.findall(r'name="Local" value="([^"]+)"', text)}


class CompiledHelpTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        cls.files = {line.strip().lstrip("/") for line in chmls("-n", "list", str(CHM)).splitlines()}
        chmls("extracttoc", str(CHM), str(WORK / "toc.hhc"))
        chmls("extractindex", str(CHM), str(WORK / "index.hhk"))
        cls.contents = sitemap_targets(WORK / "toc.hhc")
        cls.index = sitemap_targets(WORK / "index.hhk")

    def test_every_topic_picture_and_stylesheet_is_compiled_in(self):
        topics = {path.name for path in SOURCES.glob("*.htm")}
        self.assertTrue(topics)
        self.assertLessEqual(topics | {"Tovra.css"}, self.files)
        for topic in topics:
            page = (SOURCES / topic).read_text(encoding="latin-1")
            for picture in re.findall(r'<img [^>]*src="([^"]+)"', page):
                self.assertIn(picture, self.files, f"{topic} shows {picture}")

    def test_contents_lists_every_topic_and_leads_only_to_compiled_pages(self):
        topics = {path.name for path in SOURCES.glob("*.htm")}
        self.assertEqual(self.contents, topics)
        self.assertLessEqual(REQUIRED_TOPICS, self.contents)

    def test_index_leads_only_to_compiled_pages(self):
        self.assertGreater(len(self.index), 10)
        self.assertLessEqual(self.index, self.files)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
