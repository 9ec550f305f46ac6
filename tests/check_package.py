# Makes the release zip with the package target and checks that it holds the
# exe as built, README.md and LICENSE, and nothing else.
import subprocess, sys, zipfile
build = sys.argv[1]
subprocess.run(["cmake", "--build", build, "--target", "package"], check=True, stdout=subprocess.DEVNULL)
with zipfile.ZipFile(f"{build}/Tallyvox-1.0.0-win64.zip") as release:
    names = sorted(release.namelist())
    print(names)
    same_exe = release.read("tallyvox.exe") == open(f"{build}/tallyvox.exe", "rb").read()
sys.exit(0 if names == ["LICENSE", "README.md", "tallyvox.exe"] and same_exe else 1)
