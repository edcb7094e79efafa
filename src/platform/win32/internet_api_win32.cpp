// InternetApi over wininet.dll.
