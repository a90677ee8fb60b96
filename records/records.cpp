// Record storage.
