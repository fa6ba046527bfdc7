# Runs a command on the host for a test program under Wine, in the folder given first; prints
# 1 when it succeeded, else 0 (tests/support/PythonServer reads that as its port).
import subprocess, sys

result = subprocess.run(sys.argv[2:], cwd=sys.argv[1], stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL)
print(1 if result.returncode == 0 else 0, flush=True)
