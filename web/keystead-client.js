// The page client: drives the plug-in's HTTP API from a web page.
export {};
