// Data of the directory tests: a small file of a known size.
