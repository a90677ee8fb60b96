// Report and spreadsheet output.
