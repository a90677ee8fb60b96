// PLC link and test cycle.
