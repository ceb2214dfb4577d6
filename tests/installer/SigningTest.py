"""Signing a release with a throwaway code-signing authority of the test's own: the program, the
uninstaller (signed by NSIS's finalisation, before it is packed) and the setup each carry a
SHA-256 signature that `osslsigncode verify` traces to that authority and to no other; without a
certificate nothing is signed. Runs on Linux only: no Wine.

Usage: SigningTest.py STAGE_DIR TOVRA_NSI ICON WIZARD VERSION SCRIPTS_DIR WORK_DIR
"""

import os
import pathlib
import shutil
import subprocess
import sys
import unittest

STAGE, NSI, ICON, WIZARD = (pathlib.Path(p).resolve() for p in sys.argv[1:5])
VERSION = sys.argv[5]
SCRIPTS = pathlib.Path(sys.argv[6]).resolve()
WORK = pathlib.Path(sys.argv[7]).resolve()


def run(*args, env=None):
    result = subprocess.run([str(a) for a in args], capture_output=True, text=True, env=env, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"{args[0]} failed ({result.returncode}): {result.stdout}{result.stderr}")
    return result


def make_authority(name):
    """A self-signed authority; returns (certificate, key)."""
    key, cert = WORK / f"{name}.key", WORK / f"{name}.pem"
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
        "-days", "2", "-subj", f"/CN={name}", "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign")
    return cert, key


def make_signing_pfx(authority, password):
    cert, key = authority
    (WORK / "signing.ext").write_text(
        "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", WORK / "signing.key",
        "-out", WORK / "signing.csr", "-subj", "/CN=Brannik")
    run("openssl", "x509", "-req", "-in", WORK / "signing.csr", "-CA", cert, "-CAkey", key,
        "-CAcreateserial", "-days", "2", "-extfile", WORK / "signing.ext", "-out", WORK / "signing.pem")
    pfx = WORK / "signing.pfx"
    run("openssl", "pkcs12", "-export", "-inkey", WORK / "signing.key", "-in", WORK / "signing.pem",
        "-certfile", cert, "-out", pfx, "-passout", f"pass:{password}")
    return pfx


def verifies(program, authority):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(authority[0]), "-in", str(program)],
                          capture_output=True, timeout=60).returncode == 0


def make_release(stage, setup, env):
    """What the build does: the program signed in the stage, then the setup made from it."""
    run(SCRIPTS / "sign.sh", stage / "tovra.exe", env=env)
    run("makensis", "-V2", f"-DVERSION={VERSION}", "-DVERSION_SHORT=test", f"-DSOURCE_DIR={stage}",
        f"-DICON={ICON}", f"-DWIZARD={WIZARD}", f"-DOUTFILE={setup}", f"-DSIGN={SCRIPTS / 'sign.sh'}",
        NSI, env=env)


class SigningTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        cls.authority = make_authority("Throwaway Code Signing Authority")
        cls.stranger = make_authority("Another Authority")

    def stage_copy(self, name):
        stage = WORK / name
        shutil.copytree(STAGE, stage, ignore=shutil.ignore_patterns("uninstall.exe"))
        return stage

    def test_with_a_certificate_every_program_of_the_release_is_signed_by_it(self):
        env = dict(os.environ, SIGN_PFX=str(make_signing_pfx(self.authority, "pass word")),
                   SIGN_PASSWORD="pass word")
        env.pop("SIGN_TIMESTAMP_URL", None)  # no time-stamp server here
        stage = self.stage_copy("signed")
        setup = WORK / "signed-setup.exe"
        make_release(stage, setup, env)
        for program in (stage / "tovra.exe", stage / "uninstall.exe", setup):
            with self.subTest(program=program.name):
                self.assertTrue(verifies(program, self.authority), f"{program.name} is not signed by the authority")
                self.assertFalse(verifies(program, self.stranger), f"{program.name} verifies against any authority")
        info = run("osslsigncode", "verify", "-CAfile", self.authority[0], "-in", setup).stdout
        self.assertRegex(info, r"(?i)message digest algorithm\s*:\s*SHA256")

    def test_without_a_certificate_nothing_is_signed(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith("SIGN_")}
        stage = self.stage_copy("unsigned")
        setup = WORK / "unsigned-setup.exe"
        make_release(stage, setup, env)
        self.assertFalse(verifies(setup, self.authority))
        self.assertFalse(verifies(stage / "tovra.exe", self.authority))
        self.assertFalse((stage / "uninstall.exe").exists())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
