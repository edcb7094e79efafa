// RasApi over rasapi32.dll.
