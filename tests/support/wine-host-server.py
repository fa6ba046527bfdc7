# Runs a test server script on the host for a test program under Wine, which cannot read the
# output of a host process it starts nor end it. Arguments: a control folder, the script and
# its arguments. The server's first line (its port) is written to <control>/port; when
# <control>/stop appears or the folder goes, the server is ended and <control>/stopped written.
import os, subprocess, sys, threading, time

control, script = sys.argv[1], sys.argv[2]
# Wine gives this process a Windows argv[0], so sys.executable is empty.
server = subprocess.Popen([sys.executable or '/usr/bin/python3', script] + sys.argv[3:], stdout=subprocess.PIPE)


def write(name, text):
    partial = os.path.join(control, name + '.partial')
    with open(partial, 'w') as file:
        file.write(text)
    os.replace(partial, os.path.join(control, name))


def forward():
    first = server.stdout.readline().decode(errors='replace').strip()
    write('port', first or '0')
    for _ in server.stdout:  # a server that prints more must not block on a full pipe
        pass


forwarder = threading.Thread(target=forward, daemon=True)
forwarder.start()
# A test program that died leaves no stop file: the server ends with the test's time bound.
deadline = time.monotonic() + 900
while (server.poll() is None and os.path.isdir(control)
       and not os.path.exists(os.path.join(control, 'stop')) and time.monotonic() < deadline):
    time.sleep(0.05)
if server.poll() is None:
    server.terminate()
    try:
        server.wait(5)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait()
forwarder.join(5)
if os.path.isdir(control):
    if not os.path.exists(os.path.join(control, 'port')):
        write('port', '0')
    write('stopped', '')
