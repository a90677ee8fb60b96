// The PLC item server.
